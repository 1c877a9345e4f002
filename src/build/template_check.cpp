// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/template_check.h"

#include "build/passes.h"
#include "build/template_charset.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <vector>

namespace quillane {

namespace {

using Pos = PassText::Pos;
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

// Watches the build's passes over the template's own HTML (with an empty title) and tells what
// they do that the template does not say.
class Checker final : public PassObserver {
public:
    explicit Checker(const TemplateFile& t) : m_t(t) {
        m_sources << t.page();
        qint64 size = m_sources[0].size();
        const SectionTable& s = t.sections;
        for (int slot = 1; slot <= s.lastSlot(); ++slot) {
            m_sources << s.SectionHtml[slot];
            m_lastOfName.insert(s.SectionNames[slot], slot);
            size += s.SectionHtml[slot].size() + s.SectionNames[slot].size();
        }
        m_budget = 64 * size + kCheckedPageChars;
        m_lines.resize(size_t(m_sources.size()));
    }

    QList<TemplateProblem> run() {
        const SectionTable& s = m_t.sections;
        const QStringList names = QStringList{QStringLiteral("title::")} + s.SectionNames.mid(1);
        const QStringList html = QStringList{QString()} + s.SectionHtml.mid(1);
        runPasses(m_sources[0], names, html, std::max(kCheckedPageChars, m_sources[0].size()),
                  PourTuning{}, this);
        return m_problems;
    }

    bool onPass(int pass, std::vector<Pos>& found, const PassText& text) override {
        if (pass == 0) return true; // the title pass
        const SectionTable& s = m_t.sections;
        const int slot = pass;
        const QString& name = s.SectionNames[slot];
        if (name.isEmpty() && slot == s.lastSlot()) {
            lastPass(found, text);
            return false;
        }
        if (name.isEmpty()) {
            add(Kind::EmptyName, QStringLiteral("Section %1 has no name: its pass puts its HTML in "
                                                "place of every '::' still in the page, so the "
                                                "sections after it find no placeholder.")
                                     .arg(slot));
        } else if (m_firstOfName.contains(name)) {
            add(Kind::DuplicateName,
                QStringLiteral("Sections %1 and %2 are both named '%3': the first fills every "
                               "::%3, so the HTML of the second never reaches the page.")
                    .arg(QString::number(m_firstOfName[name]), QString::number(slot), name));
            sectionPass(slot, found, text);
        } else {
            m_firstOfName.insert(name, slot);
            if (sectionPass(slot, found, text) == 0)
                add(Kind::UnusedSection,
                    QStringLiteral("The section '%1' has no placeholder: ::%1:: is neither in the "
                                   "default HTML nor in the HTML of a section before it, so its "
                                   "HTML never reaches the page.")
                        .arg(name));
        }
        return m_read + text.work() <= m_budget;
    }

private:
    using Kind = TemplateProblem::Kind;

    void add(Kind kind, const QString& text) { m_problems.append({kind, text}); }
    bool once(const QString& key) {
        if (m_told.contains(key)) return false;
        m_told.insert(key);
        return true;
    }
    QString where(TextPlace p) {
        std::vector<qsizetype>& lines = m_lines[size_t(p.slot)];
        if (lines.empty()) { // where each line after the first starts
            const QString& source = m_sources[p.slot];
            lines.push_back(0);
            for (qsizetype i = source.indexOf(u'\n'); i >= 0; i = source.indexOf(u'\n', i + 1))
                lines.push_back(i + 1);
        }
        const auto line = std::upper_bound(lines.begin(), lines.end(), p.offset) - lines.begin();
        if (p.slot == 0) return QStringLiteral("in the default HTML, line %1").arg(line);
        return QStringLiteral("in the HTML of section '%1', line %2")
            .arg(m_t.sections.SectionNames[p.slot], QString::number(line));
    }

    // A section's pass, told as it goes: returns how many placeholders it filled whole. A
    // placeholder closed by "::" leaves those colons to the last pass, which is how
    // placeholders are written.
    int sectionPass(int slot, std::vector<Pos>& found, const PassText& text) {
        const QString& name = m_t.sections.SectionNames[slot];
        int whole = 0;
        struct Taking {
            QString word;
            bool closed;
        };
        QHash<Pos, Taking> taking; // placeholders of which the pass takes only the start
        std::vector<Pos> starts;
        for (const Pos at : found) {
            Pos x = at;
            for (qsizetype k = 0; k < 2 + name.size(); ++k)
                x = text.next(x);
            QString word;
            for (; x != PassText::kEnd && isNameChar(QChar(text.at(x))); x = text.next(x))
                word += QChar(text.at(x));
            m_read += 2 + name.size() + word.size();
            const Pos second = x == PassText::kEnd ? x : text.next(x);
            const bool closed =
                second != PassText::kEnd && text.at(x) == u':' && text.at(second) == u':';
            if (closed) m_closing.insert(text.place(x));
            if (word.isEmpty()) {
                ++whole;
            } else {
                taking.insert(at, {word, closed});
                starts.push_back(at);
            }
        }
        text.inTextOrder(starts);
        for (const Pos at : starts) {
            const auto& [word, closed] = taking[at];
            if (!once(QStringLiteral("takes %1 %2").arg(slot).arg(word))) continue;
            const QString longer = name + word;
            QString advice;
            if (m_lastOfName.value(longer) > slot)
                advice = QStringLiteral(" Put section '%1' before '%2', or rename one of them.")
                             .arg(longer, name);
            if (longer == QLatin1String("title")) advice = QStringLiteral(" Rename the section.");
            add(Kind::NameTakesPlaceholder,
                QStringLiteral("The section '%1' takes the start of ::%2%3 %4: the page gets %1's "
                               "HTML followed by '%5'.")
                        .arg(name, longer, closed ? kColons : QString(), where(text.place(at)),
                             word) +
                    advice);
        }
        return whole;
    }

    // The last, nameless pass deletes every "::" left: those that close a filled placeholder
    // are meant to go, the others are told.
    void lastPass(std::vector<Pos>& found, const PassText& text) {
        text.inTextOrder(found);
        QSet<TextPlace> seen;
        for (const Pos at : found) {
            const TextPlace p = text.place(at);
            if (m_closing.contains(p) || seen.contains(p)) continue;
            seen.insert(p);
            const QStringView source = m_sources[p.slot];
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
    QStringList m_sources;                       // the page and each slot's HTML
    std::vector<std::vector<qsizetype>> m_lines; // where each source's lines start, once needed
    QHash<QString, int> m_lastOfName;
    QHash<QString, int> m_firstOfName;
    QList<TemplateProblem> m_problems;
    QSet<TextPlace> m_closing; // colons that close a placeholder, for the last pass to delete
    QSet<QString> m_told;
    qint64 m_read = 0; // characters of the page read here
    qint64 m_budget = 0;
};

} // namespace

QList<TemplateProblem> checkTemplate(const TemplateFile& templ) {
    return Checker(templ).run();
}

QStringList templateWarnings(const TemplateFile& templ, const QString& path) {
    QStringList lines;
    for (const TemplateProblem& p : checkTemplate(templ))
        lines << path + QStringLiteral(": warning: ") + p.text;
    const QString charset = charsetWarning(templ.defaultHtml);
    if (!charset.isEmpty()) lines << path + QStringLiteral(": warning: ") + charset;
    return lines;
}

} // namespace quillane
