// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/template_check.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <vector>

namespace quillane {

namespace {

const QString kColons = QStringLiteral("::");

// What may follow "::" in a placeholder the user means: letters, digits, "_" and "-".
bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'-';
}

QStringView wordAt(QStringView text, qsizetype from) {
    qsizetype end = from;
    while (end < text.size() && isNameChar(text[end]))
        ++end;
    return text.mid(from, end - from);
}

// A place in the template's own text: its page (slot 0) or a section's HTML.
struct Place {
    int slot = 0;
    qsizetype offset = 0;
    bool operator==(const Place&) const = default;
};

size_t qHash(const Place& p, size_t seed = 0) {
    return qHashMulti(seed, p.slot, p.offset);
}

// The page while it is poured, as pieces of the template's own texts, so that every
// character can be traced to where it came from.
class TracedPage {
public:
    explicit TracedPage(const TemplateFile& t) {
        m_sources << t.page();
        for (int slot = 1; slot <= t.sections.lastSlot(); ++slot)
            m_sources << t.sections.SectionHtml[slot];
        append({0, 0}, m_sources[0].size(), m_pieces, m_starts, m_text);
    }

    const QString& text() const { return m_text; }
    const QString& source(int slot) const { return m_sources[slot]; }

    Place placeAt(qsizetype pos) const {
        const size_t i = pieceAt(pos);
        return {m_pieces[i].start.slot, m_pieces[i].start.offset + pos - m_starts[i]};
    }

    // Each of `hits` (`length` characters) becomes the HTML of `slot`; slot 0: nothing.
    void replace(const QList<qsizetype>& hits, qsizetype length, int slot) {
        std::vector<Piece> pieces;
        std::vector<qsizetype> starts;
        QString text;
        auto copy = [&](qsizetype from, qsizetype to) {
            for (size_t i = from < to ? pieceAt(from) : 0; from < to; ++i) {
                const qsizetype end = std::min(to, m_starts[i] + m_pieces[i].size);
                const Place start = m_pieces[i].start;
                append({start.slot, start.offset + from - m_starts[i]}, end - from, pieces, starts,
                       text);
                from = end;
            }
        };
        qsizetype pos = 0;
        for (const qsizetype hit : hits) {
            copy(pos, hit);
            if (slot > 0) append({slot, 0}, m_sources[slot].size(), pieces, starts, text);
            pos = hit + length;
        }
        copy(pos, m_text.size());
        m_pieces.swap(pieces);
        m_starts.swap(starts);
        m_text.swap(text);
    }

private:
    struct Piece {
        Place start;
        qsizetype size;
    };

    size_t pieceAt(qsizetype pos) const {
        return size_t(std::upper_bound(m_starts.begin(), m_starts.end(), pos) - m_starts.begin()) -
               1;
    }
    void append(Place start, qsizetype size, std::vector<Piece>& pieces,
                std::vector<qsizetype>& starts, QString& text) const {
        if (size == 0) return;
        starts.push_back(text.size());
        pieces.push_back({start, size});
        text += QStringView(m_sources[start.slot]).mid(start.offset, size);
    }

    QStringList m_sources;
    std::vector<Piece> m_pieces;
    std::vector<qsizetype> m_starts;
    QString m_text;
};

class Checker {
public:
    explicit Checker(const TemplateFile& t) : m_t(t), m_page(t) {}

    QList<TemplateProblem> run() {
        const SectionTable& s = m_t.sections;
        pass(QStringLiteral("::title::"), 0);
        QHash<QString, int> firstOfName;
        qint64 looked = 0;
        for (int slot = 1; slot <= s.lastSlot(); ++slot) {
            const QString& name = s.SectionNames[slot];
            if (name.isEmpty() && slot == s.lastSlot()) {
                lastPass();
                break;
            }
            if (name.isEmpty()) {
                add(Kind::EmptyName, QStringLiteral("Section %1 has no name: its pass puts its "
                                                    "HTML in place of every '::' still in the "
                                                    "page, so the sections after it find no "
                                                    "placeholder.")
                                         .arg(slot));
                pass(kColons, slot);
            } else if (firstOfName.contains(name)) {
                add(Kind::DuplicateName,
                    QStringLiteral("Sections %1 and %2 are both named '%3': the first fills every "
                                   "::%3, so the HTML of the second never reaches the page.")
                        .arg(QString::number(firstOfName[name]), QString::number(slot), name));
                sectionPass(slot);
            } else {
                firstOfName.insert(name, slot);
                if (sectionPass(slot) == 0)
                    add(Kind::UnusedSection,
                        QStringLiteral("The section '%1' has no placeholder: ::%1:: is neither in "
                                       "the default HTML nor in the HTML of a section before it, "
                                       "so its HTML never reaches the page.")
                            .arg(name));
            }
            looked += m_page.text().size();
            if (m_page.text().size() > kCheckedPageChars || looked > 64 * kCheckedPageChars) break;
        }
        return m_problems;
    }

private:
    using Kind = TemplateProblem::Kind;

    void add(Kind kind, const QString& text) { m_problems.append({kind, text}); }
    bool once(const QString& key) {
        if (m_told.contains(key)) return false;
        m_told.insert(key);
        return true;
    }
    QString where(Place p) const {
        const int line = int(m_page.source(p.slot).left(p.offset).count(u'\n')) + 1;
        if (p.slot == 0) return QStringLiteral("in the default HTML, line %1").arg(line);
        return QStringLiteral("in the HTML of section '%1', line %2")
            .arg(m_t.sections.SectionNames[p.slot], QString::number(line));
    }

    // Replaces every token as the build does; returns where it was found.
    QList<qsizetype> pass(const QString& token, int slot) {
        QList<qsizetype> hits;
        const QString& text = m_page.text();
        for (qsizetype at = text.indexOf(token); at >= 0;
             at = text.indexOf(token, at + token.size()))
            hits.append(at);
        if (!hits.isEmpty()) m_page.replace(hits, token.size(), slot);
        return hits;
    }

    // A section's pass: returns how many placeholders it filled whole. A placeholder closed by
    // "::" leaves those colons to the last pass, which is how placeholders are written.
    int sectionPass(int slot) {
        const SectionTable& s = m_t.sections;
        const QString& name = s.SectionNames[slot];
        const QString token = kColons + name;
        const QString& text = m_page.text();
        int whole = 0;
        for (qsizetype at = text.indexOf(token); at >= 0;
             at = text.indexOf(token, at + token.size())) {
            const QStringView word = wordAt(text, at + token.size());
            const qsizetype end = at + token.size() + word.size();
            const bool closed = QStringView(text).mid(end, 2) == kColons;
            if (closed) m_closing.insert(m_page.placeAt(end));
            if (word.isEmpty()) {
                ++whole;
                continue;
            }
            if (!once(QStringLiteral("takes %1 %2").arg(slot).arg(word))) continue;
            const QString longer = name + word.toString();
            QString advice;
            for (int later = slot + 1; later <= s.lastSlot() && advice.isEmpty(); ++later) {
                if (s.SectionNames[later] == longer)
                    advice = QStringLiteral(" Put section '%1' before '%2', or rename one of them.")
                                 .arg(longer, name);
            }
            if (longer == QLatin1String("title")) advice = QStringLiteral(" Rename the section.");
            add(Kind::NameTakesPlaceholder,
                QStringLiteral("The section '%1' takes the start of ::%2%3 %4: the page gets %1's "
                               "HTML followed by '%5'.")
                        .arg(name, longer, closed ? kColons : QString(), where(m_page.placeAt(at)),
                             word.toString()) +
                    advice);
        }
        pass(token, slot);
        return whole;
    }

    // The last, nameless pass deletes every "::" left: those that close a filled placeholder
    // are meant to go, the others are told.
    void lastPass() {
        const QString& text = m_page.text();
        QSet<Place> seen;
        for (qsizetype at = text.indexOf(kColons); at >= 0; at = text.indexOf(kColons, at + 2)) {
            const Place p = m_page.placeAt(at);
            if (m_closing.contains(p) || seen.contains(p)) continue;
            seen.insert(p);
            const QStringView source = m_page.source(p.slot);
            const QStringView word = wordAt(source, p.offset + 2);
            const qsizetype end = p.offset + 2 + word.size();
            if (!word.isEmpty() && source.mid(end, 2) == kColons) {
                m_closing.insert({p.slot, end});
                if (!once(QStringLiteral("unfilled ") + word.toString())) continue;
                QString note;
                if (word == QLatin1String("title") && p.slot != 0)
                    note = QStringLiteral(" (the page title fills only the default HTML's "
                                          "::title::)");
                add(Kind::UnfilledPlaceholder,
                    QStringLiteral("The placeholder ::%1:: %2, is filled by no section: the page "
                                   "shows '%1' there%3.")
                        .arg(word.toString(), where(p), note));
                continue;
            }
            // The text around the colons, up to a blank, a tag or a quote.
            auto stops = [](QChar c) { return c.isSpace() || QStringView(u"<>\"'").contains(c); };
            qsizetype from = p.offset, to = p.offset + 2;
            while (from > 0 && from > p.offset - 16 && !stops(source[from - 1]))
                --from;
            while (to < source.size() && to < p.offset + 18 && !stops(source[to]))
                ++to;
            const QString around = source.mid(from, to - from).toString();
            if (!once(QStringLiteral("stray ") + around)) continue;
            QString gets = around;
            gets.remove(p.offset - from, 2);
            add(Kind::StrayColons,
                around == kColons
                    ? QStringLiteral(
                          "The '::' %1, belongs to no placeholder: the build deletes it.")
                          .arg(where(p))
                    : QStringLiteral("The '::' %1 (%2), belongs to no placeholder: the build "
                                     "deletes it, so the page gets '%3'.")
                          .arg(where(p), around, gets));
        }
    }

    const TemplateFile& m_t;
    TracedPage m_page;
    QList<TemplateProblem> m_problems;
    QSet<Place> m_closing; // colons that close a placeholder, for the last pass to delete
    QSet<QString> m_told;
};

} // namespace

QList<TemplateProblem> checkTemplate(const TemplateFile& templ) {
    return Checker(templ).run();
}

QStringList templateWarnings(const TemplateFile& templ, const QString& path) {
    QStringList lines;
    for (const TemplateProblem& p : checkTemplate(templ))
        lines << path + QStringLiteral(": warning: ") + p.text;
    return lines;
}

} // namespace quillane
