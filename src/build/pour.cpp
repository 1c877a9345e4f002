#include "build/pour.h"

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <vector>

// Every placeholder that the slot passes look for begins with "::". The page is held as a
// linked list of pieces (views into the page or into the inserted HTML), split so that every
// position where "::" starts is the start of a piece: a candidate. Each candidate knows the
// first pass whose token it matches (a trie over the names finds it) and waits in that pass's
// bucket, so a pass touches only its own occurrences. A replacement changes text only around
// itself, so only the candidates whose token could reach into the change are looked at again.

namespace quillane {

namespace {

constexpr int kHead = 0;
constexpr int kTail = 1;
constexpr int kNoPass = std::numeric_limits<int>::max();

struct Piece {
    const QChar* data = nullptr;
    qsizetype len = 0;
    int prev = -1;
    int next = -1;
    quint64 label = 0; // increases along the list; orders a bucket
    int pass = kNoPass;
    bool candidate = false;
    bool alive = true;
};

class Trie {
public:
    explicit Trie(const QStringList& names) {
        m_slots.emplace_back();
        for (int slot = 1; slot < names.size(); ++slot) {
            int node = 0;
            for (QChar c : names[slot])
                node = childOrNew(node, c.unicode());
            m_slots[node].push_back(slot); // slots come in increasing order
            m_maxLen = std::max(m_maxLen, names[slot].size());
        }
    }
    int child(int node, char16_t c) const {
        const auto it = m_children.find(key(node, c));
        return it == m_children.end() ? -1 : it->second;
    }
    // The lowest slot above `after` whose name ends at this node.
    int firstSlotAfter(int node, int after) const {
        const auto& v = m_slots[node];
        const auto it = std::upper_bound(v.begin(), v.end(), after);
        return it == v.end() ? kNoPass : *it;
    }
    qsizetype maxLen() const { return m_maxLen; }

private:
    static quint64 key(int node, char16_t c) { return (quint64(node) << 16) | c; }
    int childOrNew(int node, char16_t c) {
        const auto [it, inserted] = m_children.try_emplace(key(node, c), int(m_slots.size()));
        if (inserted) m_slots.emplace_back();
        return it->second;
    }
    std::unordered_map<quint64, int> m_children;
    std::vector<std::vector<int>> m_slots;
    qsizetype m_maxLen = 0;
};

class Pourer {
public:
    Pourer(const QString& page, const QStringList& names, const QStringList& html, qsizetype limit)
        : m_page(page), m_names(names), m_html(html), m_trie(names),
          m_buckets(size_t(names.size())), m_splits(size_t(names.size())), m_total(page.size()),
          m_limit(limit) {
        m_pieces.resize(2);
        m_pieces[kHead].next = kTail;
        m_pieces[kTail].prev = kHead;
        m_pieces[kTail].label = std::numeric_limits<quint64>::max();
        const int first = insertText(kHead, m_page.constData(), m_page.size(), colonPairs(m_page));
        for (int p = first; p != kTail; p = m_pieces[p].next) {
            if (m_pieces[p].candidate) evaluate(p, 0);
        }
        // The page's own last character may begin "::" with nothing after it: no candidate.
    }

    std::optional<QString> run() {
        const int last = int(m_names.size()) - 1;
        for (int pass = 1; pass <= last && m_total <= m_limit; ++pass)
            runPass(pass);
        if (m_total > m_limit) return std::nullopt;
        QString out;
        qsizetype total = 0;
        for (int p = m_pieces[kHead].next; p != kTail; p = m_pieces[p].next)
            total += m_pieces[p].len;
        out.reserve(total);
        for (int p = m_pieces[kHead].next; p != kTail; p = m_pieces[p].next)
            out.append(m_pieces[p].data, m_pieces[p].len);
        return out;
    }

private:
    static std::vector<qsizetype> colonPairs(const QString& text) {
        std::vector<qsizetype> at;
        const QChar* d = text.constData();
        for (qsizetype i = text.indexOf(u':'); i >= 0 && i + 1 < text.size();
             i = text.indexOf(u':', i + 1)) {
            if (d[i + 1] == u':') at.push_back(i);
        }
        return at;
    }

    // Links the text after piece `after`, split at the given "::" positions; returns the first
    // new piece (or the following one when the text is empty).
    int insertText(int after, const QChar* data, qsizetype len,
                   const std::vector<qsizetype>& pairs) {
        const int before = m_pieces[after].next;
        if (len == 0) return before;
        std::vector<qsizetype> cuts;
        cuts.reserve(pairs.size() + 2);
        if (pairs.empty() || pairs.front() != 0) cuts.push_back(0);
        cuts.insert(cuts.end(), pairs.begin(), pairs.end());
        cuts.push_back(len);
        const int count = int(cuts.size()) - 1;
        const int first = int(m_pieces.size());
        int prev = after;
        for (int i = 0; i < count; ++i) {
            Piece piece;
            piece.data = data + cuts[i];
            piece.len = cuts[i + 1] - cuts[i];
            piece.candidate = std::binary_search(pairs.begin(), pairs.end(), cuts[i]);
            piece.prev = prev;
            m_pieces.push_back(piece);
            const int idx = int(m_pieces.size()) - 1;
            m_pieces[prev].next = idx;
            prev = idx;
        }
        m_pieces[prev].next = before;
        m_pieces[before].prev = prev;
        label(after, first, count);
        return first;
    }

    // Gives `count` consecutive pieces starting at `first` (right after `after`) labels between
    // their neighbours, relabelling the whole list when there is no room.
    void label(int after, int first, int count) {
        const quint64 lo = m_pieces[after].label;
        int end = first;
        for (int i = 0; i < count; ++i)
            end = m_pieces[end].next;
        const quint64 hi = m_pieces[end].label;
        const quint64 step = (hi - lo) / quint64(count + 1);
        if (step == 0) {
            relabelAll();
            return;
        }
        int p = first;
        for (int i = 1; i <= count; ++i, p = m_pieces[p].next)
            m_pieces[p].label = lo + step * quint64(i);
    }

    void relabelAll() {
        qsizetype n = 0;
        for (int p = m_pieces[kHead].next; p != kTail; p = m_pieces[p].next)
            ++n;
        const quint64 step = std::numeric_limits<quint64>::max() / quint64(n + 1);
        quint64 l = 0;
        for (int p = m_pieces[kHead].next; p != kTail; p = m_pieces[p].next)
            m_pieces[p].label = (l += step);
    }

    // Splits off the last character of a piece as a piece of its own; returns it.
    int splitLastChar(int p) {
        Piece& piece = m_pieces[p];
        if (piece.len == 1) return p;
        Piece tail;
        tail.data = piece.data + piece.len - 1;
        tail.len = 1;
        piece.len -= 1;
        const int next = piece.next;
        tail.prev = p;
        tail.next = next;
        m_pieces.push_back(tail);
        const int idx = int(m_pieces.size()) - 1;
        m_pieces[p].next = idx;
        m_pieces[next].prev = idx;
        label(p, idx, 1);
        return idx;
    }

    QChar firstChar(int p) const { return p == kTail ? QChar() : m_pieces[p].data[0]; }
    QChar lastChar(int p) const {
        return p == kHead ? QChar() : m_pieces[p].data[m_pieces[p].len - 1];
    }

    // Finds the first pass after `after` whose token stands at candidate p, and files p there.
    void evaluate(int p, int after) {
        Piece& piece = m_pieces[p];
        piece.pass = kNoPass;
        // Skip the two colons, then walk the name along the trie.
        int cur = p;
        qsizetype off = 0;
        auto advance = [&]() -> bool {
            ++off;
            while (cur != kTail && off >= m_pieces[cur].len) {
                cur = m_pieces[cur].next;
                off = 0;
            }
            return cur != kTail;
        };
        if (!advance() || m_pieces[cur].data[off] != u':') {
            piece.candidate = false;
            return;
        }
        int best = m_trie.firstSlotAfter(0, after);
        int node = 0;
        while (advance()) {
            node = m_trie.child(node, m_pieces[cur].data[off].unicode());
            if (node < 0) break;
            best = std::min(best, m_trie.firstSlotAfter(node, after));
        }
        piece.pass = best;
        if (best != kNoPass) m_buckets[size_t(best)].push_back(p);
    }

    bool matches(int p, const QString& token) const {
        int cur = p;
        qsizetype off = 0;
        for (QChar c : token) {
            while (cur != kTail && off >= m_pieces[cur].len) {
                cur = m_pieces[cur].next;
                off = 0;
            }
            if (cur == kTail || m_pieces[cur].data[off] != c) return false;
            ++off;
        }
        return true;
    }

    const std::vector<qsizetype>& splitsOf(int slot) {
        auto& s = m_splits[size_t(slot)];
        if (!s) s = colonPairs(m_html[slot]);
        return *s;
    }

    void runPass(int pass) {
        std::vector<int> bucket;
        bucket.swap(m_buckets[size_t(pass)]);
        if (bucket.empty()) return;
        std::sort(bucket.begin(), bucket.end(),
                  [this](int a, int b) { return m_pieces[a].label < m_pieces[b].label; });
        bucket.erase(std::unique(bucket.begin(), bucket.end()), bucket.end());
        const QString token = QStringLiteral("::") + m_names[pass];
        for (int p : bucket) {
            const Piece& piece = m_pieces[p];
            if (!piece.alive || !piece.candidate || piece.pass != pass) continue;
            if (!matches(p, token)) { // cannot happen while the filing is right; stay safe
                evaluate(p, pass);
                continue;
            }
            replace(p, token.size(), pass);
            if (m_total > m_limit) return;
        }
    }

    void replace(int p, qsizetype len, int pass) {
        const int before = m_pieces[p].prev;
        int cur = p;
        qsizetype left = len;
        while (left > 0) {
            Piece& piece = m_pieces[cur];
            if (piece.len <= left) {
                left -= piece.len;
                piece.alive = false;
                cur = piece.next;
            } else {
                // What stays of this piece starts inside it, so no "::" starts there.
                piece.data += left;
                piece.len -= left;
                piece.candidate = false;
                piece.pass = kNoPass;
                left = 0;
            }
        }
        m_pieces[before].next = cur;
        m_pieces[cur].prev = before;

        const QString& html = m_html[pass];
        m_total += html.size() - len;
        const int first = insertText(before, html.constData(), html.size(), splitsOf(pass));
        const int after = cur; // first piece of the untouched rest
        std::vector<int> fresh;
        for (int q = first; q != after; q = m_pieces[q].next) {
            if (m_pieces[q].candidate) fresh.push_back(q);
        }
        // A "::" may now start at the last inserted character, running into the rest.
        if (first != after) {
            const int lastNew = m_pieces[after].prev;
            if (lastChar(lastNew) == u':' && firstChar(after) == u':') {
                const int q = splitLastChar(lastNew);
                m_pieces[q].candidate = true;
                fresh.push_back(q);
            }
        }
        // Or at the last character before the insertion. And any candidate up to a name's
        // length before it now reads different text after its colons.
        if (before != kHead) {
            const QChar next = firstChar(m_pieces[before].next);
            if (lastChar(before) == u':' && next == u':') {
                const int q = splitLastChar(before);
                if (!m_pieces[q].candidate) {
                    m_pieces[q].candidate = true;
                    fresh.push_back(q);
                }
            } else if (m_pieces[before].len == 1 && m_pieces[before].candidate) {
                m_pieces[before].candidate = false; // its second colon was replaced
                m_pieces[before].pass = kNoPass;
            }
            qsizetype reach = m_trie.maxLen() + 2;
            for (int q = m_pieces[first == after ? after : first].prev; q != kHead && reach > 0;
                 q = m_pieces[q].prev) {
                if (m_pieces[q].candidate) evaluate(q, pass);
                reach -= m_pieces[q].len;
            }
        }
        for (int q : fresh)
            evaluate(q, pass);
    }

    const QString m_page;
    const QStringList m_names;
    const QStringList m_html;
    Trie m_trie;
    std::vector<Piece> m_pieces;
    std::vector<std::vector<int>> m_buckets;
    std::vector<std::optional<std::vector<qsizetype>>> m_splits;
    qsizetype m_total;
    const qsizetype m_limit;
};

} // namespace

std::optional<QString> pourPage(const QString& page, const QString& title, const QStringList& names,
                                const QStringList& html, qsizetype maxChars) {
    // The title pass, in one sweep: find every "::title::" from left to right.
    static const QString token = QStringLiteral("::title::");
    std::vector<qsizetype> found;
    for (qsizetype at = page.indexOf(u':'); at >= 0 && at + token.size() <= page.size();) {
        if (QStringView(page).mid(at, token.size()) == token) {
            found.push_back(at);
            at = page.indexOf(u':', at + token.size());
        } else {
            at = page.indexOf(u':', at + 1);
        }
    }
    const qsizetype size = page.size() + qsizetype(found.size()) * (title.size() - token.size());
    if (size > maxChars) return std::nullopt;
    QString titled;
    if (found.empty()) {
        titled = page;
    } else {
        titled.reserve(size);
        qsizetype from = 0;
        for (qsizetype at : found) {
            titled.append(QStringView(page).mid(from, at - from)).append(title);
            from = at + token.size();
        }
        titled.append(QStringView(page).mid(from));
    }
    if (names.size() < 2) return titled;
    return Pourer(titled, names, html, maxChars).run();
}

} // namespace quillane
