// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/passes.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <numeric>
#include <optional>
#include <tuple>
#include <unordered_map>

// How the passes run.
//
// Every token a pass looks for is "::" followed by a name (the title pass's name is "title::").
// Rewriting the whole page for every pass would cost the page times the number of passes, so a
// pass replaces its few tokens in place. The page is then held as text with jumps: each
// character has a position in a store (the page as last written out in one piece, followed by
// a copy of the HTML of every replacement since), its successor is the next position unless a
// jump says otherwise, and replaced characters are marked dead.
//
// Every "::" of the page is filed under a pass that may replace it, never later than the first
// that does, and a pass looks only at what is filed under it. What decides is how far the name
// after the "::" has been read along the trie of all names: its walk. A walk reads only what
// the pass at hand needs: it follows that pass's name, stops where the text leaves it, and the
// "::" is filed again under the lowest pass whose name is what was read or goes on the way the
// text does. So the start that many names share is read once, and the rest of a long name only
// when its own pass comes.
//
// A replacement changes the text only from where it starts, so a walk must go back only if it
// read that far: walks that began close before (32 characters, or the longest name and two if
// less) are found by looking back, the others left a note at each "::" they read or looked at,
// with how far they were there, to go on from. A walk keeps what it read up to the second "::"
// beyond that reach; past it a name is compared only while its pass decides, and the "::"
// stays filed under every pass whose name goes on from there. So a walk leaves a few notes at
// most and reads its own stretch of the page, also where names hold "::". The one shape that
// costs more: many names that share a start holding "::" farther than that reach, over a page
// that is that start over and over; each of their passes then looks at every such place.
//
// A pass whose walks would read more than the page finds its tokens by one scan of the page,
// and a pass that replaces many tokens (one per 64 characters of the page or more) rewrites the
// page in one sweep. After a sweep the next pass scans the page and files it again only if that
// pass does not sweep too, so passes that each multiply the tokens of the next sweep one after
// the other; once the bookkeeping of in-place replacements outgrows half the page, the page is
// written out in one piece and what is filed moves with it. Memory thus stays a small multiple of
// the page, and time follows the page, the text inserted into it and the names. Before a pass
// changes anything the size of its result is known, and a page that would grow past the limit is
// refused there.

namespace quillane {

namespace {

using Pos = PassText::Pos;
constexpr Pos kTail = PassText::kEnd;
constexpr Pos kHead = 0xFFFFFFFDu;
constexpr Pos kNone = 0xFFFFFFFFu;
constexpr int kNever = INT_MAX;
// Positions are 32 bits wide; the store holds at most a few times the limit.
constexpr qsizetype kLargestLimit = qsizetype(512) * 1024 * 1024;

class Bits {
public:
    void assign(size_t n, bool set = false) {
        m_words.assign((n + 63) / 64, set ? ~quint64(0) : 0);
    }
    void grow(size_t n) {
        if ((n + 63) / 64 > m_words.size()) m_words.resize((n + 63) / 64, 0);
    }
    void release() { std::vector<quint64>().swap(m_words); }
    bool test(Pos i) const { return (m_words[i >> 6] >> (i & 63)) & 1; }
    void set(Pos i) { m_words[i >> 6] |= quint64(1) << (i & 63); }
    // The same, for sets that grow as they are used.
    bool has(Pos i) const { return (i >> 6) < m_words.size() && test(i); }
    void add(Pos i) {
        grow(size_t(i) + 1);
        set(i);
    }
    void reset(Pos i) { m_words[i >> 6] &= ~(quint64(1) << (i & 63)); }
    // The first set bit from i to last, or kNone.
    Pos findNext(Pos i, Pos last = kNone - 1) const {
        size_t w = i >> 6;
        const size_t lastWord = std::min<size_t>(last >> 6, m_words.size() - 1);
        if (w >= m_words.size()) return kNone;
        quint64 word = m_words[w] & (~quint64(0) << (i & 63));
        for (;;) {
            if (word) {
                const Pos found = Pos(w * 64 + size_t(std::countr_zero(word)));
                return found <= last ? found : kNone;
            }
            if (++w > lastWord) return kNone;
            word = m_words[w];
        }
    }

private:
    std::vector<quint64> m_words;
};

// Position to position, open addressing; a key is only ever overwritten (kNone: no longer
// there), never removed.
class PosMap {
public:
    void clear() {
        m_slots.assign(16, kEmptySlot);
        m_count = 0;
    }
    Pos get(Pos key) const {
        const size_t mask = m_slots.size() - 1;
        for (size_t i = slotOf(key, mask);; i = (i + 1) & mask) {
            const quint64 s = m_slots[i];
            if (Pos(s >> 32) == key) return Pos(s);
            if (s == kEmptySlot) return kNone;
        }
    }
    void put(Pos key, Pos value) {
        if ((m_count + 1) * 2 > m_slots.size()) rehash(m_slots.size() * 2);
        if (insert(key, value)) ++m_count;
    }

private:
    static constexpr quint64 kEmptySlot = ~quint64(0);
    static size_t slotOf(Pos key, size_t mask) {
        return size_t((quint64(key) * 0x9E3779B97F4A7C15ull) >> 32) & mask;
    }
    bool insert(Pos key, Pos value) {
        const size_t mask = m_slots.size() - 1;
        for (size_t i = slotOf(key, mask);; i = (i + 1) & mask) {
            if (m_slots[i] == kEmptySlot || Pos(m_slots[i] >> 32) == key) {
                const bool fresh = m_slots[i] == kEmptySlot;
                m_slots[i] = (quint64(key) << 32) | value;
                return fresh;
            }
        }
    }
    void rehash(size_t size) {
        std::vector<quint64> old(size, kEmptySlot);
        old.swap(m_slots);
        for (quint64 s : old) {
            if (s != kEmptySlot) insert(Pos(s >> 32), Pos(s));
        }
    }
    std::vector<quint64> m_slots = std::vector<quint64>(16, kEmptySlot);
    size_t m_count = 0;
};

// The names of all passes as a trie. Its nodes are numbered in the order of their text, so the
// names below a node are the nodes from it to end(node), and a tree of minima over the nodes
// tells the lowest pass still to come below any node.
class NameTrie {
public:
    explicit NameTrie(const QStringList& names) {
        std::vector<int> order(size_t(names.size()));
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return names[a] < names[b]; });
        std::vector<int> parent{-1};
        m_nodeOf.assign(order.size(), 0);
        for (size_t i = 0; i < order.size(); ++i) {
            const QString& name = names[order[i]];
            int node = 0;
            if (i > 0 && name == names[order[i - 1]]) {
                node = m_nodeOf[size_t(order[i - 1])];
            } else {
                for (QChar c : name) {
                    const int found = child(node, c.unicode());
                    if (found >= 0) {
                        node = found;
                        continue;
                    }
                    const int fresh = int(parent.size());
                    parent.push_back(node);
                    place(key(node, c.unicode()), fresh);
                    node = fresh;
                }
            }
            m_nodeOf[size_t(order[i])] = node;
        }
        const size_t nodes = parent.size();
        // Each node's passes, in increasing order.
        m_passStart.assign(nodes + 1, 0);
        for (int node : m_nodeOf)
            ++m_passStart[size_t(node) + 1];
        std::partial_sum(m_passStart.begin(), m_passStart.end(), m_passStart.begin());
        m_passes.resize(m_nodeOf.size());
        std::vector<int> fill(m_passStart.begin(), m_passStart.end() - 1);
        for (size_t pass = 0; pass < m_nodeOf.size(); ++pass)
            m_passes[size_t(fill[size_t(m_nodeOf[pass])]++)] = int(pass);
        m_end.resize(nodes);
        std::iota(m_end.begin(), m_end.end(), 0);
        for (size_t node = nodes - 1; node > 0; --node)
            m_end[size_t(parent[node])] = std::max(m_end[size_t(parent[node])], m_end[node]);
        m_leaves = std::bit_ceil(nodes);
        m_min.assign(2 * m_leaves, kNever);
        for (size_t node = 0; node < nodes; ++node)
            m_min[m_leaves + node] = firstAfter(int(node), -1);
        for (size_t i = m_leaves - 1; i > 0; --i)
            m_min[i] = std::min(m_min[2 * i], m_min[2 * i + 1]);
    }

    int child(int node, char16_t c) const {
        const quint64 k = key(node, c);
        const size_t mask = m_keys.size() - 1;
        for (size_t i = slotOf(k, mask);; i = (i + 1) & mask) {
            if (m_keys[i] == k) return m_children[i];
            if (m_keys[i] == kNoKey) return -1;
        }
    }
    // The lowest pass after `after` whose name ends at this node.
    int firstAfter(int node, int after) const {
        const int* begin = m_passes.data() + m_passStart[size_t(node)];
        const int* end = m_passes.data() + m_passStart[size_t(node) + 1];
        const int* found = std::upper_bound(begin, end, after);
        return found == end ? kNever : *found;
    }
    // The pass is running: from now on its node offers only its later passes.
    void passed(int pass) {
        const int node = m_nodeOf[size_t(pass)];
        size_t i = m_leaves + size_t(node);
        m_min[i] = firstAfter(node, pass);
        for (i >>= 1; i > 0; i >>= 1)
            m_min[i] = std::min(m_min[2 * i], m_min[2 * i + 1]);
    }
    // The lowest pass still to come whose name is this node's or goes on from it.
    int nextBelow(int node) const {
        int best = kNever;
        size_t lo = m_leaves + size_t(node), hi = m_leaves + size_t(m_end[size_t(node)]) + 1;
        for (; lo < hi; lo >>= 1, hi >>= 1) {
            if (lo & 1) best = std::min(best, m_min[lo++]);
            if (hi & 1) best = std::min(best, m_min[--hi]);
        }
        return best;
    }

private:
    static constexpr quint64 kNoKey = ~quint64(0);
    static quint64 key(int node, char16_t c) { return (quint64(node) << 16) | c; }
    static size_t slotOf(quint64 k, size_t mask) {
        return size_t((k * 0x9E3779B97F4A7C15ull) >> 29) & mask;
    }
    void place(quint64 k, int value) {
        if ((m_used + 1) * 2 > m_keys.size()) {
            std::vector<quint64> keys(m_keys.size() * 2, kNoKey);
            std::vector<int> children(keys.size(), -1);
            keys.swap(m_keys);
            children.swap(m_children);
            for (size_t i = 0; i < keys.size(); ++i) {
                if (keys[i] != kNoKey) put(keys[i], children[i]);
            }
        }
        put(k, value);
        ++m_used;
    }
    void put(quint64 k, int value) {
        const size_t mask = m_keys.size() - 1;
        size_t i = slotOf(k, mask);
        while (m_keys[i] != kNoKey)
            i = (i + 1) & mask;
        m_keys[i] = k;
        m_children[i] = value;
    }
    std::vector<quint64> m_keys = std::vector<quint64>(16, kNoKey);
    std::vector<int> m_children = std::vector<int>(16, -1);
    size_t m_used = 0;
    std::vector<int> m_nodeOf, m_passStart, m_passes, m_end, m_min;
    size_t m_leaves = 1;
};

// The first ':' in text[from, size), or size. Four characters at a time: a lane that holds
// ':' is zero after the exclusive or, and the lowest lane flagged is always a true zero.
size_t nextColon(const char16_t* text, size_t from, size_t size) {
    constexpr quint64 kColons = 0x003A003A003A003Aull, kOnes = 0x0001000100010001ull,
                      kHigh = 0x8000800080008000ull;
    for (; from + 4 <= size; from += 4) {
        quint64 word;
        std::memcpy(&word, text + from, sizeof word);
        const quint64 x = word ^ kColons;
        const quint64 zero = (x - kOnes) & ~x & kHigh;
        if (zero) return from + size_t(std::countr_zero(zero)) / 16;
    }
    while (from < size && text[from] != u':')
        ++from;
    return from;
}

const char16_t* chars(const QString& s) {
    return reinterpret_cast<const char16_t*>(s.constData());
}

// For each length k, the longest proper prefix of token[0, k) that is also its suffix.
std::vector<int> bordersOf(const QString& token) {
    std::vector<int> border(size_t(token.size()), 0);
    for (qsizetype i = 1, k = 0; i < token.size(); ++i) {
        while (k > 0 && token[i] != token[k])
            k = border[size_t(k - 1)];
        if (token[i] == token[k]) ++k;
        border[size_t(i)] = int(k);
    }
    return border;
}

// Calls f(at) for every occurrence of token in text as the literal pass takes them: from the
// left, not overlapping. Every token starts with ':'.
template <typename F>
void forEachMatch(const char16_t* text, size_t size, const QString& token, F&& f) {
    const std::vector<int> border = bordersOf(token);
    const char16_t* find = chars(token);
    const size_t length = size_t(token.size());
    size_t k = 0;
    for (size_t at = 0; at < size; ++at) {
        if (k == 0 && (at = nextColon(text, at, size)) == size) break;
        while (k > 0 && text[at] != find[k])
            k = size_t(border[k - 1]);
        if (text[at] == find[k] && ++k == length) {
            f(at + 1 - length);
            k = 0;
        }
    }
}

struct Span {
    Pos start, end;
};

struct PlaceRun {
    Pos start; // in the store
    TextPlace place;
};

class Engine final : public PassText {
public:
    Engine(const QStringList& names, const QStringList& html, qsizetype limit,
           const PourTuning& tuning, PassObserver* observer)
        : m_names(names), m_html(html), m_trie(names), m_limit(limit), m_tuning(tuning),
          m_observer(observer), m_passCount(int(names.size())),
          m_nearReach(nearReach(names, tuning.nearReach)) {
        m_buckets.resize(size_t(m_passCount));
        m_colonPairs.resize(size_t(m_passCount));
    }

    // How far a replacement looks back: no walk reads farther than the longest name and one
    // character more after its "::".
    static int nearReach(const QStringList& names, int reach) {
        qsizetype longest = 0;
        for (const QString& name : names)
            longest = std::max(longest, name.size());
        return int(std::clamp<qsizetype>(reach, 2, longest + 2));
    }

    PourResult run(QString page) {
        const Pos size = Pos(page.size());
        reset(std::move(page), {{0, size}}, {{0, {0, 0}}});
        fileAll(); // for every pass
        for (int pass = 0; pass < m_passCount; ++pass) {
            if (!runPass(pass)) break;
        }
        if (m_failure != PourFailure::None) return {QString(), m_failure};
        if (m_flat) return {m_base, PourFailure::None};
        QString out(m_size, Qt::Uninitialized);
        char16_t* to = reinterpret_cast<char16_t*>(out.data());
        forEachRun([&](Pos x, Pos end) {
            const char16_t* from =
                x < m_baseSize ? m_baseData + x : chars(m_copies) + (x - m_baseSize);
            to = std::copy(from, from + (end - x + 1), to);
        });
        return {out, PourFailure::None};
    }

    // --- What an observer reads -------------------------------------------------------------

    char16_t at(Pos x) const override {
        return x < m_baseSize ? m_baseData[x] : chars(m_copies)[x - m_baseSize];
    }
    Pos next(Pos x) const override {
        if (m_flat) return x + 1 < m_baseSize ? x + 1 : kTail;
        return m_jumpNext.test(x) ? m_nextMap.get(x) : x + 1;
    }
    TextPlace place(Pos x) const override {
        const bool base = x < m_baseSize;
        const std::vector<PlaceRun>& runs = base ? m_basePlaces : m_copyPlaces;
        const auto run = std::upper_bound(runs.begin(), runs.end(), x,
                                          [](Pos p, const PlaceRun& r) { return p < r.start; }) -
                         1;
        return {run->place.slot, run->place.offset + (x - run->start)};
    }
    void inTextOrder(std::vector<Pos>& positions) const override {
        if (positions.size() < 2) return;
        Bits marked;
        marked.assign(storeSize());
        for (Pos x : positions)
            marked.set(x);
        positions.clear();
        forEachRun([&](Pos x, Pos end) {
            for (Pos m = marked.findNext(x, end); m != kNone; m = marked.findNext(m + 1, end))
                positions.push_back(m);
            ++m_work;
        });
    }
    qint64 work() const override { return m_work; }

private:
    // How far the name after a "::" has been read: its walk.
    struct Touch {
        Pos at; // a "::" the walk read or looked at, and how the walk stood before it
        int node, depth, best;
        bool crossed;
    };
    struct Walk {
        Pos x = kTail;      // the next character to read
        int node = 0;       // the trie node of what was read
        int depth = 0;      // how many characters that is
        int best = kNever;  // the lowest pass to come whose name is what was read or a start of it
        int filed = kNever; // the pass it is filed under
        bool crossed = false; // a whole "::" beyond the look-back's reach was read
        bool capped = false;  // stopped before a second one
        quint8 touches = 0;   // far "::" read or looked at, in the order of the text
        Touch touched[4];
    };

    // --- The text ---------------------------------------------------------------------------

    qsizetype tokenSize(int pass) const { return m_names[pass].size() + 2; }
    size_t storeSize() const { return size_t(m_baseSize) + size_t(m_copies.size()); }
    Pos prev(Pos x) const { return m_jumpPrev.test(x) ? m_prevMap.get(x) : x - 1; }
    Pos before(Pos x) const { return x == kTail ? m_last : prev(x); }
    bool isPairAt(Pos x) const {
        if (at(x) != u':') return false;
        const Pos y = next(x);
        return y != kTail && at(y) == u':';
    }
    bool isPair(Pos y) const { return !m_dead.test(y) && isPairAt(y); }

    // Calls f(first, last) for each stretch of the page that lies in one piece in the store.
    template <typename F> void forEachRun(F&& f) const {
        for (Pos x = m_first; x != kTail;) {
            const Pos end = m_flat ? m_baseSize - 1 : m_jumpNext.findNext(x);
            f(x, end);
            x = m_flat ? kTail : m_nextMap.get(end);
        }
    }

    void link(Pos u, Pos v) {
        if (u == kHead) {
            m_first = v;
        } else {
            m_jumpNext.set(u);
            m_nextMap.put(u, v);
        }
        if (v == kTail) {
            m_last = u;
        } else {
            m_jumpPrev.set(v);
            m_prevMap.put(v, u);
        }
    }

    Pos appendCopy(int pass) {
        const QString& text = m_html[pass];
        const Pos at = Pos(storeSize());
        if (m_observer) m_copyPlaces.push_back({at, {pass, 0}});
        m_copies.append(text);
        for (Bits* bits : {&m_dead, &m_jumpNext, &m_jumpPrev})
            bits->grow(storeSize());
        return at;
    }

    // Makes `page` the whole store, in one piece and not filed yet.
    void reset(QString page, std::vector<Span> fromTemplate, std::vector<PlaceRun> places) {
        dropFiling();
        m_base = std::move(page);
        m_baseData = chars(m_base);
        m_baseSize = Pos(m_base.size());
        m_size = m_base.size();
        m_copies = QString();
        m_template = std::move(fromTemplate);
        m_basePlaces = std::move(places);
        m_copyPlaces.clear();
        for (Bits* bits : {&m_dead, &m_jumpNext, &m_jumpPrev})
            bits->assign(m_baseSize);
        for (Bits* bits : {&m_seen, &m_walked, &m_noted})
            bits->release();
        m_nextMap.clear();
        m_prevMap.clear();
        m_flat = true;
        m_first = kTail;
        m_last = kHead;
        if (m_baseSize > 0) {
            link(kHead, 0);
            link(m_baseSize - 1, kTail);
        }
    }

    void dropFiling() {
        for (auto& bucket : m_buckets)
            std::vector<Pos>().swap(bucket);
        m_sweepPass.assign(size_t(m_passCount), false);
        m_wholeCount.assign(size_t(m_passCount), 0);
        decltype(m_walks)().swap(m_walks);
        std::vector<Note>().swap(m_notes);
        m_notesAt.clear();
        m_filed = false;
        m_debt = 0;
    }

    // Writes the page out in one piece as the next base, carrying over which parts came from
    // the page the passes started from, and (for an observer) where every part came from.
    class Writer {
    public:
        Writer(Engine& e, qsizetype size, std::vector<Span>* moves = nullptr)
            : m_e(e), m_out(size, Qt::Uninitialized),
              m_begin(reinterpret_cast<char16_t*>(m_out.data())), m_to(m_begin), m_moves(moves) {}

        // [x, end) of one run of the store; runs of the base come in the order of the base.
        void copy(Pos x, Pos end) {
            const Pos out = at();
            if (m_moves) m_moves->push_back({x, out}); // where the run starts, and where it goes
            const bool base = x < m_e.m_baseSize;
            const char16_t* from =
                base ? m_e.m_baseData + x : chars(m_e.m_copies) + (x - m_e.m_baseSize);
            m_to = std::copy(from, from + (end - x), m_to);
            const std::vector<Span>& spans = m_e.m_template;
            while (base && m_span < spans.size() && spans[m_span].end <= x)
                ++m_span;
            for (size_t k = m_span; base && k < spans.size() && spans[k].start < end; ++k) {
                const Span part{out + (std::max(x, spans[k].start) - x),
                                out + (std::min(end, spans[k].end) - x)};
                if (!m_template.empty() && m_template.back().end == part.start)
                    m_template.back().end = part.end;
                else
                    m_template.push_back(part);
            }
            const std::vector<PlaceRun>& runs = base ? m_e.m_basePlaces : m_e.m_copyPlaces;
            for (Pos y = x; m_e.m_observer && y < end;) {
                const auto after =
                    std::upper_bound(runs.begin(), runs.end(), y,
                                     [](Pos v, const PlaceRun& r) { return v < r.start; });
                const PlaceRun& run = *(after - 1);
                placed(out + (y - x), {run.place.slot, run.place.offset + (y - run.start)});
                y = after == runs.end() ? end : std::min(end, after->start);
            }
        }
        void insert(int pass) {
            const QString& html = m_e.m_html[pass];
            if (m_e.m_observer && !html.isEmpty()) placed(at(), {pass, 0});
            m_to = std::copy_n(chars(html), html.size(), m_to);
        }
        void finish() {
            m_e.m_work += m_out.size();
            m_e.reset(std::move(m_out), std::move(m_template), std::move(m_places));
        }

    private:
        Pos at() const { return Pos(m_to - m_begin); }
        void placed(Pos at, TextPlace p) {
            if (!m_places.empty()) {
                const PlaceRun& last = m_places.back();
                if (last.place.slot == p.slot && last.place.offset + (at - last.start) == p.offset)
                    return;
            }
            m_places.push_back({at, p});
        }
        Engine& m_e;
        QString m_out;
        char16_t* const m_begin;
        char16_t* m_to;
        std::vector<Span>* const m_moves;
        size_t m_span = 0;
        std::vector<Span> m_template;
        std::vector<PlaceRun> m_places;
    };

    // Writes the page out in one piece, each marked occurrence of pass's token replaced by its
    // HTML (no pass: nothing replaced).
    void rewrite(int pass, const Bits* marks, qsizetype size, std::vector<Span>* moves = nullptr) {
        Writer w(*this, size, moves);
        const qsizetype skip = pass >= 0 ? tokenSize(pass) : 0;
        Pos end = kNone; // the last position of the run that x is in, once known
        for (Pos x = m_first; x != kTail;) {
            if (end == kNone) end = m_jumpNext.findNext(x);
            const Pos mark = marks ? marks->findNext(x, end) : kNone;
            if (mark == kNone) {
                w.copy(x, end + 1);
                x = m_nextMap.get(end);
                end = kNone;
                continue;
            }
            w.copy(x, mark);
            w.insert(pass);
            x = mark;
            for (qsizetype k = 0; k < skip; ++k) {
                if (x == end) end = kNone; // the token goes on in another run
                x = next(x);
            }
        }
        w.finish();
    }

    // Writes the page out in one piece and keeps what is filed: the text does not change, so
    // everything filed keeps its pass and only moves to its new place.
    void compact() {
        auto buckets = std::move(m_buckets);
        auto walks = std::move(m_walks);
        std::vector<std::pair<Pos, Pos>> notes; // where, whose: those still in force
        for (Pos r = m_noted.findNext(0); r != kNone; r = m_noted.findNext(r + 1)) {
            for (quint32 i = m_notesAt.get(r); i != kNone; i = m_notes[i].previous)
                notes.emplace_back(r, m_notes[i].walker);
        }
        const auto sweepPass = m_sweepPass;
        const auto wholeCount = m_wholeCount;
        const Bits dead = m_dead;
        std::vector<Span> moves; // {old start, new start} of each run
        const size_t store = storeSize();
        rewrite(-1, nullptr, m_size, &moves);
        // The run a position lies in is the last that starts at or before it: counted in
        // whole words of a bit set, then in the word.
        std::vector<quint64> starts((store + 63) / 64, 0);
        for (const Span& m : moves)
            starts[m.start >> 6] |= quint64(1) << (m.start & 63);
        std::vector<quint32> before(starts.size() + 1, 0);
        for (size_t w = 0; w < starts.size(); ++w)
            before[w + 1] = before[w] + quint32(std::popcount(starts[w]));
        std::vector<Span> runs(moves.size());
        auto rank = [&](Pos y) {
            return before[y >> 6] +
                   quint32(std::popcount(starts[y >> 6] & (~quint64(0) >> (63 - (y & 63)))));
        };
        for (const Span& m : moves)
            runs[rank(m.start) - 1] = m;
        auto moved = [&](Pos y) {
            if (y == kTail) return y;
            const Span& run = runs[rank(y) - 1];
            return run.end + (y - run.start);
        };
        m_buckets.resize(size_t(m_passCount));
        for (size_t pass = 0; pass < buckets.size(); ++pass) {
            for (Pos y : buckets[pass]) {
                if (!dead.test(y)) m_buckets[pass].push_back(moved(y));
            }
        }
        for (auto& [y, w] : walks) {
            if (dead.test(y)) continue;
            w.x = moved(w.x);
            for (int k = 0; k < w.touches; ++k)
                w.touched[k].at = moved(w.touched[k].at);
            const Pos at = moved(y);
            m_walks.emplace(at, w);
            m_walked.add(at);
        }
        for (const auto& [r, y] : notes) {
            if (!dead.test(r) && !dead.test(y)) note(moved(r), moved(y));
        }
        m_sweepPass = sweepPass;
        m_wholeCount = wholeCount;
        m_filed = true;
    }

    // The literal pass over the page in one piece, the base.
    void sweepBase(int pass, qsizetype count) {
        Writer w(*this, m_size + count * (m_html[pass].size() - tokenSize(pass)));
        Pos from = 0;
        forEachMatch(m_baseData, m_baseSize, QStringLiteral("::") + m_names[pass], [&](size_t at) {
            w.copy(from, Pos(at));
            w.insert(pass);
            from = Pos(at + size_t(tokenSize(pass)));
        });
        w.copy(from, m_baseSize);
        w.finish();
    }

    // How many occurrences the base holds, and how many of them in text a pass inserted.
    std::pair<qsizetype, qsizetype> countOnBase(int pass) {
        qsizetype count = 0, inserted = 0;
        size_t span = 0;
        forEachMatch(m_baseData, m_baseSize, QStringLiteral("::") + m_names[pass], [&](size_t at) {
            ++count;
            while (span < m_template.size() && m_template[span].end <= at)
                ++span;
            if (span == m_template.size() || m_template[span].start > at) ++inserted;
        });
        m_work += m_size;
        return {count, inserted};
    }

    // --- Passes -----------------------------------------------------------------------------

    bool runPass(int pass) {
        if (m_filed && m_debt > qint64(m_size) / 2 + m_tuning.compactSlack) compact();
        m_trie.passed(pass);
        m_after = pass;
        std::vector<Pos> found;
        qsizetype count = 0, inserted = 0;
        bool sweeping = false;
        if (m_filed && !m_sweepPass[size_t(pass)]) {
            found = fromCandidates(pass);
            count = qsizetype(found.size());
            inserted = insertedAmong(pass, found);
            sweeping = dense(count);
        } else {
            // The page not filed, or a pass left to sweep it whatever it finds: one scan of the
            // page in one piece.
            sweeping = m_filed;
            if (!m_flat) rewrite(-1, nullptr, m_size);
            if (m_observer) {
                found = findOnPage(pass);
                count = qsizetype(found.size());
                inserted = insertedAmong(pass, found);
            } else {
                std::tie(count, inserted) = countOnBase(pass);
            }
            sweeping = sweeping || dense(count);
            if (!sweeping) {
                // In place, every "::" is filed for the passes after this one first.
                if (found.empty() && count > 0) found = findOnPage(pass);
                fileAll();
            }
        }
        if (m_observer && !m_observer->onPass(pass, found, *this)) return false;
        if (count == 0 && !sweeping) return true;
        if (!accept(pass, count, inserted)) return false;
        if (sweeping && m_flat) {
            sweepBase(pass, count);
        } else if (sweeping) {
            Bits marks;
            marks.assign(storeSize());
            for (Pos g : found)
                marks.set(g);
            rewrite(pass, &marks, m_size + count * (m_html[pass].size() - tokenSize(pass)));
        } else {
            for (Pos g : found)
                replace(g, pass);
        }
        return true;
    }

    bool dense(qsizetype count) const {
        const qint64 f = m_tuning.denseFactor;
        return f > 0 && qint64(count) >= (qint64(m_size) + f - 1) / f;
    }

    // The pass's occurrences by one scan of the page.
    std::vector<Pos> findOnPage(int pass) {
        std::vector<Pos> found;
        const QString token = QStringLiteral("::") + m_names[pass];
        m_work += m_size;
        if (m_flat) {
            forEachMatch(m_baseData, m_baseSize, token,
                         [&](size_t at) { found.push_back(Pos(at)); });
            return found;
        }
        QString page(m_size, Qt::Uninitialized);
        char16_t* const begin = reinterpret_cast<char16_t*>(page.data());
        std::vector<std::pair<size_t, Pos>>
            runs; // where each run starts, on the page and in the store
        char16_t* to = begin;
        forEachRun([&](Pos x, Pos end) {
            runs.emplace_back(size_t(to - begin), x);
            for (Pos y = x; y <= end; ++y)
                *to++ = at(y);
        });
        size_t run = 0;
        forEachMatch(begin, size_t(m_size), token, [&](size_t at) {
            while (run + 1 < runs.size() && runs[run + 1].first <= at)
                ++run;
            found.push_back(runs[run].second + Pos(at - runs[run].first));
        });
        return found;
    }

    // The pass's occurrences among what is filed under it; the others are filed again.
    std::vector<Pos> fromCandidates(int pass) {
        std::vector<Pos> bucket;
        bucket.swap(m_buckets[size_t(pass)]);
        const qsizetype nameSize = m_names[pass].size();
        std::vector<Pos> candidates;
        qint64 reading = 0;
        for (Pos y : bucket) {
            if (m_seen.has(y)) continue;
            m_seen.add(y);
            if (!isPair(y)) continue;
            if (m_walked.has(y)) {
                const Walk& w = m_walks.at(y);
                if (w.filed != pass) continue;
                reading += nameSize - w.depth;
            } else {
                reading += nameSize;
            }
            candidates.push_back(y);
        }
        for (Pos y : bucket)
            m_seen.reset(y);
        std::vector<Pos>().swap(bucket);

        std::vector<Pos> found;
        const bool many = dense(qsizetype(candidates.size()));
        if (many || (m_tuning.scanFactor > 0 && reading > qint64(m_size) / m_tuning.scanFactor)) {
            // One scan of the page costs less. What it did not find is read on and filed again,
            // unless the pass sweeps the page and with it the filing.
            found = findOnPage(pass);
            if (dense(qsizetype(found.size()))) return found;
            for (Pos g : found)
                m_seen.add(g);
            for (Pos y : candidates) {
                if (m_seen.has(y)) continue;
                Walk w = walkOf(y);
                if (w.best != pass && !walk(y, w, pass, false)) file(y, w);
            }
            for (Pos g : found)
                m_seen.reset(g);
            return found;
        }
        for (Pos y : candidates) {
            Walk w = walkOf(y);
            if (w.best == pass || walk(y, w, pass, true))
                found.push_back(y);
            else
                file(y, w);
        }
        if (found.size() > 1 && bordersOf(QStringLiteral("::") + m_names[pass]).back() > 0)
            chooseLeftmost(found, tokenSize(pass)); // the token may overlap itself
        return found;
    }

    // Of occurrences that overlap (a token that overlaps itself), the literal pass takes them
    // from the left: the first, then the next that starts after its end, and so on.
    void chooseLeftmost(std::vector<Pos>& found, qsizetype length) const {
        const size_t n = found.size();
        std::unordered_map<Pos, size_t> index;
        index.reserve(n);
        for (size_t i = 0; i < n; ++i)
            index.emplace(found[i], i);
        // Each occurrence's nearest overlapping one to its left chains them in page order.
        constexpr size_t kNoLink = size_t(-1);
        std::vector<size_t> follower(n, kNoLink);
        std::vector<qsizetype> gap(n, 0);
        std::vector<bool> led(n, false);
        for (size_t i = 0; i < n; ++i) {
            Pos y = before(found[i]);
            for (qsizetype d = 1; d < length && y != kHead; ++d, y = prev(y)) {
                const auto it = index.find(y);
                if (it != index.end()) {
                    follower[it->second] = i;
                    gap[i] = d;
                    led[i] = true;
                    break;
                }
            }
        }
        std::vector<Pos> chosen;
        for (size_t i = 0; i < n; ++i) {
            if (led[i]) continue;
            qsizetype at = 0, end = 0;
            for (size_t k = i; k != kNoLink; k = follower[k]) {
                if (k != i) at += gap[k];
                if (at >= end) {
                    chosen.push_back(found[k]);
                    end = at + length;
                }
            }
        }
        found.swap(chosen);
    }

    // How many of the occurrences lie in text that an earlier pass inserted, where that counts:
    // when the pass makes the page grow.
    qsizetype insertedAmong(int pass, const std::vector<Pos>& found) const {
        if (m_html[pass].size() <= tokenSize(pass)) return 0;
        return std::count_if(found.begin(), found.end(), [&](Pos y) {
            if (y >= m_baseSize) return true;
            const auto span = std::upper_bound(m_template.begin(), m_template.end(), y,
                                               [](Pos v, const Span& s) { return v < s.start; });
            return span == m_template.begin() || y >= (span - 1)->end;
        });
    }

    // Whether replacing `count` occurrences, `inserted` of them in text that an earlier pass
    // inserted, keeps the page within the limit.
    bool accept(int pass, qsizetype count, qsizetype inserted) {
        const qsizetype delta = m_html[pass].size() - tokenSize(pass);
        const qsizetype size = m_size + count * delta;
        const qsizetype grown = m_grownByInserted + inserted * std::max<qsizetype>(0, delta);
        if (size > m_limit) {
            m_failure = grown > 0 && size - grown <= m_limit ? PourFailure::SectionsInsertEachOther
                                                             : PourFailure::PageTooLarge;
            return false;
        }
        m_grownByInserted = grown;
        return true;
    }

    void replace(Pos g, int pass) {
        const QString& html = m_html[pass];
        const qsizetype length = tokenSize(pass);
        const Pos left = before(g);
        // The walks that read into what changes: those of "::" close before by looking back,
        // the others by the notes they left.
        m_near.clear();
        Pos z = left;
        for (int k = 0; k < m_nearReach && z != kHead; ++k, z = prev(z)) {
            if (at(z) == u':') m_near.push_back(z);
        }
        m_far.clear();
        Pos x = g;
        for (qsizetype k = 0; k < length; ++k) {
            takeNotes(x, k == 0);
            m_dead.set(x);
            x = next(x);
        }
        const Pos right = x;
        Pos start = right; // the first character after `left` from now on
        if (!html.isEmpty()) {
            start = appendCopy(pass);
            link(left, start);
            link(start + Pos(html.size()) - 1, right);
        } else {
            link(left, right);
        }
        m_flat = false;
        m_size += html.size() - length;
        m_debt += length + html.size() + 48;
        m_work += length + html.size();

        for (Pos y : m_near) {
            if (m_walked.has(y)) {
                m_walks.erase(y);
                m_walked.reset(y);
            }
            if (isPair(y)) fileFresh(y);
        }
        for (Pos y : m_far)
            goBack(y, g, start);
        if (!html.isEmpty()) {
            for (qsizetype offset : colonPairs(pass))
                fileFresh(start + Pos(offset));
            if (html.back() == u':' && right != kTail && at(right) == u':')
                fileFresh(start + Pos(html.size()) - 1);
        }
    }

    void takeNotes(Pos x, bool keep) {
        if (!m_noted.has(x)) return;
        for (quint32 i = m_notesAt.get(x); keep && i != kNone; i = m_notes[i].previous)
            m_far.push_back(m_notes[i].walker);
        m_notesAt.put(x, kNone);
        m_noted.reset(x);
    }

    const std::vector<qsizetype>& colonPairs(int pass) {
        auto& pairs = m_colonPairs[size_t(pass)];
        if (!pairs) {
            pairs.emplace();
            const QString& text = m_html[pass];
            for (qsizetype i = text.indexOf(u':'); i >= 0 && i + 1 < text.size();
                 i = text.indexOf(u':', i + 1)) {
                if (text[i + 1] == u':') pairs->push_back(i);
            }
        }
        return *pairs;
    }

    // --- Walks ------------------------------------------------------------------------------

    // Files every "::" of the page, which is the base, as not read yet.
    void fileAll() {
        for (size_t i = nextColon(m_baseData, 0, m_baseSize); i + 1 < m_baseSize;
             i = nextColon(m_baseData, i + 1, m_baseSize)) {
            if (m_baseData[i + 1] == u':') fileFresh(Pos(i));
        }
        m_work += m_size / 4;
        m_filed = true;
        m_debt = 0;
    }

    Walk freshWalk(Pos y) const {
        Walk w;
        w.x = next(next(y));
        w.best = m_trie.firstAfter(0, m_after);
        return w;
    }
    Walk walkOf(Pos y) const { return m_walked.has(y) ? m_walks.at(y) : freshWalk(y); }

    // The lowest pass that may replace the "::" as far as its walk tells.
    int lowestPass(const Walk& w) const {
        if (w.capped) return std::min(w.best, m_trie.nextBelow(w.node));
        if (w.x == kTail) return w.best;
        const int below = m_trie.child(w.node, at(w.x));
        return below < 0 ? w.best : std::min(w.best, m_trie.nextBelow(below));
    }

    // A "::" whose walk has not begun is filed by reading its name as far as the look-back
    // reaches: usually that is the whole name, and the pass is its own, and nothing is kept. A
    // pass that gets that many of the page's "::" is left to sweep the page.
    void fileFresh(Pos y) {
        int node = 0, best = m_trie.firstAfter(0, m_after), pass = kNever;
        bool whole = false; // the whole name was read
        Pos x = next(next(y));
        for (int depth = 0;; ++depth, x = next(x)) {
            if (depth + 2 > m_nearReach) { // the walk goes on from here, when a pass needs it
                Walk w;
                w.x = x;
                w.node = node;
                w.depth = depth;
                w.best = best;
                file(y, w);
                return;
            }
            const int below = x == kTail ? -1 : m_trie.child(node, at(x));
            if (below < 0) {
                pass = best;
                whole = true;
                break;
            }
            node = below;
            best = std::min(best, m_trie.firstAfter(node, m_after));
        }
        m_work += 2;
        if (pass == kNever || m_sweepPass[size_t(pass)]) return;
        std::vector<Pos>& bucket = m_buckets[size_t(pass)];
        if (whole && dense(qsizetype(++m_wholeCount[size_t(pass)]))) {
            m_sweepPass[size_t(pass)] = true;
            std::vector<Pos>().swap(bucket);
            return;
        }
        bucket.push_back(y);
    }

    void note(Pos r, Pos y) {
        const Pos previous = m_noted.has(r) ? m_notesAt.get(r) : kNone;
        m_notesAt.put(r, Pos(m_notes.size()));
        m_notes.push_back({y, previous});
        m_noted.add(r);
    }

    void file(Pos y, Walk& w) {
        if (w.x != kTail && isPairAt(w.x)) touch(y, w, w.x); // it looks at the next character
        w.filed = lowestPass(w);
        m_walks[y] = w;
        m_walked.add(y);
        if (w.filed != kNever && !m_sweepPass[size_t(w.filed)])
            m_buckets[size_t(w.filed)].push_back(y);
    }

    // The walk of y reads or looks at the "::" at r: a replacement there sends it back to how
    // it stands now. Looking back from r finds y when it is close.
    void touch(Pos y, Walk& w, Pos r) {
        if (w.depth + 2 <= m_nearReach) return;
        for (int k = 0; k < w.touches; ++k) {
            if (w.touched[k].at == r) return;
        }
        w.touched[w.touches++] = {r, w.node, w.depth, w.best, w.crossed};
        note(r, y);
    }

    // A replacement at g changed what the walk of y read from there on.
    void goBack(Pos y, Pos g, Pos resume) {
        if (m_dead.test(y) || !m_walked.has(y)) return;
        Walk w = m_walks.at(y);
        int k = 0;
        while (k < w.touches && w.touched[k].at != g)
            ++k;
        if (k == w.touches) return;
        const Touch& t = w.touched[k];
        w.x = resume;
        w.node = t.node;
        w.depth = t.depth;
        w.best = t.best;
        w.crossed = t.crossed;
        w.capped = false;
        w.touches = quint8(k);
        file(y, w);
    }

    // Reads on along the pass's name from where the walk of y stands; true when the whole name
    // is there. What is read up to the second "::" beyond the look-back's reach stays in w;
    // beyond it, only when `decide`, the rest is compared without being kept.
    bool walk(Pos y, Walk& w, int pass, bool decide) {
        const QString& name = m_names[pass];
        const char16_t* n = chars(name);
        const int size = int(name.size());
        while (w.depth < size && !w.capped && w.x != kTail && at(w.x) == n[w.depth]) {
            const char16_t c = n[w.depth];
            const bool far = w.depth + 2 > m_nearReach;
            if (far && c == u':' && isPairAt(w.x)) {
                if (w.crossed ||
                    size_t(w.touches) + 1 == std::size(w.touched)) { // one left to look on
                    w.capped = true;
                    break;
                }
                touch(y, w, w.x);
            }
            // The second colon of a far "::".
            if (w.depth + 1 > m_nearReach && c == u':' && w.depth > 0 && n[w.depth - 1] == u':')
                w.crossed = true;
            w.node = m_trie.child(w.node, c);
            w.best = std::min(w.best, m_trie.firstAfter(w.node, pass));
            ++w.depth;
            w.x = next(w.x);
            ++m_work;
        }
        if (w.depth == size) return true;
        if (!w.capped || !decide) return false;
        Pos x = w.x;
        for (int depth = w.depth; depth < size; ++depth, x = next(x), ++m_work) {
            if (x == kTail || at(x) != n[depth]) return false;
        }
        return true;
    }

    const QStringList& m_names; // slot 0 is the title pass: "title::" and the title
    const QStringList& m_html;
    NameTrie m_trie;
    const qsizetype m_limit;
    const PourTuning m_tuning;
    PassObserver* const m_observer;
    const int m_passCount;
    const int m_nearReach;
    std::vector<std::optional<std::vector<qsizetype>>> m_colonPairs;

    // The store: the base, then the copies.
    QString m_base;
    const char16_t* m_baseData = nullptr;
    Pos m_baseSize = 0;
    QString m_copies;
    bool m_flat = true; // the page is the base, unchanged
    qsizetype m_size = 0;
    Pos m_first = kTail;
    Pos m_last = kHead;
    Bits m_dead, m_jumpNext, m_jumpPrev;
    PosMap m_nextMap, m_prevMap;
    std::vector<Span> m_template; // the parts of the base from the page the passes started from
    std::vector<PlaceRun> m_basePlaces, m_copyPlaces; // only with an observer

    // The filing.
    bool m_filed = false;
    int m_after = -1; // the pass running; what is filed now is for the passes after it
    std::vector<std::vector<Pos>> m_buckets;
    std::vector<bool> m_sweepPass;         // passes left to sweep the page, not filed
    std::vector<qsizetype> m_wholeCount;   // "::" filed under each pass with their whole name read
    std::unordered_map<Pos, Walk> m_walks; // "::" whose walk has begun
    Bits m_walked, m_seen;
    // For each "::", the far walks that read it: a list through the notes, newest first.
    struct Note {
        Pos walker;
        quint32 previous;
    };
    Bits m_noted;
    PosMap m_notesAt;
    std::vector<Note> m_notes;
    std::vector<Pos> m_near, m_far;
    // The bookkeeping of in-place replacements since the page was filed, in characters.
    qint64 m_debt = 0;
    mutable qint64 m_work = 0;

    // How much the page grew by replacing occurrences in inserted text.
    qsizetype m_grownByInserted = 0;
    PourFailure m_failure = PourFailure::None;
};

} // namespace

PourResult runPasses(const QString& page, const QStringList& names, const QStringList& html,
                     qsizetype limit, const PourTuning& tuning, PassObserver* observer) {
    limit = std::clamp<qsizetype>(limit, 0, kLargestLimit);
    if (page.size() > limit) return {QString(), PourFailure::PageTooLarge};
    return Engine(names, html, limit, tuning, observer).run(page);
}

} // namespace quillane
