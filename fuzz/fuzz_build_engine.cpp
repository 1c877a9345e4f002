// The fast pouring against the literal passes, on pages, names and HTML taken from the input.

#include "build/pour.h"

#include <QStringList>
#include <cstdlib>

using namespace quillane;

namespace {

QString literalReplace(const QString& page, const QString& find, const QString& with) {
    QString out;
    qsizetype from = 0;
    for (qsizetype at; (at = page.indexOf(find, from)) >= 0; from = at + find.size()) {
        out += page.mid(from, at - from);
        out += with;
    }
    return out + page.mid(from);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Fields separated by 0x01: page, title, then name/HTML pairs.
    const QStringList fields =
        QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size)).split(QChar(1));
    if (fields.size() < 2 || fields.size() > 80) return 0;
    QStringList names{QString()}, html{QString()};
    for (qsizetype i = 2; i + 1 < fields.size(); i += 2) {
        names << fields[i];
        html << fields[i + 1];
    }
    names << QString();
    html << QString();
    // Sections inserting each other can grow a page without bound; the engine refuses those.
    const PourResult got = pourPage(fields[0], fields[1], names, html, 1 << 20);
    if (got.failure != PourFailure::None) return 0;
    QString expected = literalReplace(fields[0], QStringLiteral("::title::"), fields[1]);
    for (qsizetype slot = 1; slot < names.size(); ++slot)
        expected = literalReplace(expected, QStringLiteral("::") + names[slot], html[slot]);
    if (got.page != expected) std::abort();
    return 0;
}
