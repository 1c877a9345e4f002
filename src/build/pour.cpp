// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/pour.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <vector>

// How a page is poured.
//
// Every token a pass looks for begins with "::" (the title pass's is "::title::"). Rewriting
// the whole page for every pass would cost the page times the number of slots, so a pass that
// replaces only a few tokens replaces them in place. The page is then held as text with jumps:
// each character has a position in a store (the page as last written out in one piece,
// followed by a copy of the section HTML for every replacement since), its successor is the
// next position unless a jump says otherwise, and replaced characters are marked dead. Every
// "::" of the page is filed under the first pass whose token starts there (a walk along a trie
// of the names finds it), so a pass visits only its own occurrences; entries that went stale
// are recognised there, as the token no longer matches. A replacement changes the text only
// from its own position on, so a "::" must be filed again only when its walk read that far:
// those a few characters before it are walked again at once, and those whose walk went
// farther left a note at every "::" they read past.
//
// A pass that replaces many tokens (one per 64 characters of the page or more) rewrites the
// page in one sweep instead. Passes found to have that many occurrences when the page is filed
// are not filed at all but left to their sweep. After a sweep the next pass's occurrences are
// counted on the page directly, so passes that each multiply the placeholders of the next
// sweep one after the other; the page is filed again only for a pass that does not sweep. Once
// the bookkeeping of in-place replacements outgrows half the page, the page is written out in
// one piece and the entries move with it. Memory thus stays a small multiple of the page, and
// time follows the page and the text inserted into it. Before a pass changes anything the
// size of its result is known, and a page that would grow past the limit is refused there.

namespace quillane {

namespace {

using Pos = quint32;
constexpr Pos kHead = 0xFFFFFFFDu;
constexpr Pos kTail = 0xFFFFFFFEu;
constexpr Pos kNone = 0xFFFFFFFFu;
constexpr int kNoPass = INT_MAX;
// Positions are 32 bits wide; the store holds at most a few times the limit.
constexpr qsizetype kLargestLimit = qsizetype(512) * 1024 * 1024;

class Bits {
public:
    void assign(size_t n) { m_words.assign((n + 63) / 64, 0); }
    void grow(size_t n) {
        if ((n + 63) / 64 > m_words.size()) m_words.resize((n + 63) / 64, 0);
    }
    void release() { std::vector<quint64>().swap(m_words); }
    bool test(Pos i) const { return (m_words[i >> 6] >> (i & 63)) & 1; }
    void set(Pos i) { m_words[i >> 6] |= quint64(1) << (i & 63); }
    void reset(Pos i) { m_words[i >> 6] &= ~(quint64(1) << (i & 63)); }
    // For each word, the last set bit before it (kNone if none).
    std::vector<Pos> lastSetBefore() const {
        std::vector<Pos> last(m_words.size(), kNone);
        Pos seen = kNone;
        for (size_t w = 0; w < m_words.size(); ++w) {
            last[w] = seen;
            if (m_words[w]) seen = Pos(w * 64 + 63 - size_t(std::countl_zero(m_words[w])));
        }
        return last;
    }
    // The last set bit at or before i, given lastSetBefore().
    Pos lastSetAtOrBefore(Pos i, const std::vector<Pos>& before) const {
        const quint64 word = m_words[i >> 6] & (~quint64(0) >> (63 - (i & 63)));
        return word ? Pos((i & ~Pos(63)) + 63 - Pos(std::countl_zero(word))) : before[i >> 6];
    }
    // The first set bit at or after i, or kNone.
    Pos findNext(Pos i) const {
        size_t w = i >> 6;
        if (w >= m_words.size()) return kNone;
        quint64 word = m_words[w] & (~quint64(0) << (i & 63));
        for (;;) {
            if (word) return Pos(w * 64 + size_t(std::countr_zero(word)));
            if (++w >= m_words.size()) return kNone;
            word = m_words[w];
        }
    }

private:
    std::vector<quint64> m_words;
};

// Position to position, open addressing; a key is only ever overwritten, never removed.
class PosMap {
public:
    void clear() {
        m_slots.assign(16, kEmptySlot);
        m_count = 0;
    }
    void release() {
        std::vector<quint64>().swap(m_slots);
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

class Trie {
public:
    // Slot 0 is the title pass, whose name "title::" is the only one taken to hold no "::".
    explicit Trie(const QStringList& names) {
        m_slots.emplace_back();
        for (int slot = 0; slot < names.size(); ++slot) {
            int node = 0;
            for (QChar c : names[slot])
                node = childOrNew(node, c.unicode());
            m_slots[size_t(node)].push_back(slot); // slots come in increasing order
            m_maxLen = std::max(m_maxLen, names[slot].size());
            if (slot > 0 && names[slot].contains(QStringLiteral("::"))) m_doubleColon = true;
        }
        // Each node's slots, one after the other.
        m_slotStart.reserve(m_slots.size() + 1);
        for (const auto& list : m_slots) {
            m_slotStart.push_back(int(m_slotList.size()));
            m_slotList.insert(m_slotList.end(), list.begin(), list.end());
        }
        m_slotStart.push_back(int(m_slotList.size()));
        decltype(m_slots)().swap(m_slots);
    }
    int child(int node, char16_t c) const {
        const quint64 k = key(node, c);
        const size_t mask = m_keys.size() - 1;
        for (size_t i = slotOf(k, mask);; i = (i + 1) & mask) {
            if (m_keys[i] == k) return m_children[i];
            if (m_keys[i] == kNoKey) return -1;
        }
    }
    // The lowest slot above `after` whose name ends at this node.
    int firstSlotAfter(int node, int after) const {
        const int* begin = m_slotList.data() + m_slotStart[size_t(node)];
        const int* end = m_slotList.data() + m_slotStart[size_t(node) + 1];
        if (begin == end || end[-1] <= after) return kNoPass;
        return *std::upper_bound(begin, end, after);
    }
    qsizetype maxLen() const { return m_maxLen; }
    bool hasDoubleColon() const { return m_doubleColon; }

private:
    static constexpr quint64 kNoKey = ~quint64(0);
    static quint64 key(int node, char16_t c) { return (quint64(node) << 16) | c; }
    static size_t slotOf(quint64 k, size_t mask) {
        return size_t((k * 0x9E3779B97F4A7C15ull) >> 29) & mask;
    }
    int childOrNew(int node, char16_t c) {
        const quint64 k = key(node, c);
        const int found = child(node, c);
        if (found >= 0) return found;
        const int fresh = int(m_slots.size());
        m_slots.emplace_back();
        if ((m_slots.size() + 1) * 2 > m_keys.size()) {
            std::vector<quint64> keys(m_keys.size() * 2, kNoKey);
            std::vector<int> children(keys.size(), -1);
            keys.swap(m_keys);
            children.swap(m_children);
            for (size_t i = 0; i < keys.size(); ++i) {
                if (keys[i] != kNoKey) place(keys[i], children[i]);
            }
        }
        place(k, fresh);
        return fresh;
    }
    void place(quint64 k, int value) {
        const size_t mask = m_keys.size() - 1;
        size_t i = slotOf(k, mask);
        while (m_keys[i] != kNoKey)
            i = (i + 1) & mask;
        m_keys[i] = k;
        m_children[i] = value;
    }
    std::vector<quint64> m_keys = std::vector<quint64>(16, kNoKey);
    std::vector<int> m_children = std::vector<int>(16, -1);
    std::vector<std::vector<int>> m_slots; // while building
    std::vector<int> m_slotStart, m_slotList;
    qsizetype m_maxLen = 0;
    bool m_doubleColon = false;
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

// Whether a token can overlap itself: a proper prefix that is also a suffix.
bool hasBorder(const QString& token, std::vector<qsizetype>& border) {
    border.assign(size_t(token.size()), 0);
    for (qsizetype i = 1, k = 0; i < token.size(); ++i) {
        while (k > 0 && token[i] != token[k])
            k = border[size_t(k - 1)];
        if (token[i] == token[k]) ++k;
        border[size_t(i)] = k;
    }
    return !token.isEmpty() && border.back() > 0;
}

class Engine {
public:
    // Slot 0 of names and html is the title pass: "title::" and the title.
    Engine(const QStringList& names, const QStringList& html, qsizetype limit,
           const PourTuning& tuning)
        : m_html(html), m_trie(names), m_limit(limit), m_tuning(tuning),
          m_slotCount(int(names.size())) {
        m_tokens.reserve(size_t(m_slotCount));
        for (const QString& name : names)
            m_tokens.push_back(QStringLiteral("::") + name);
        m_bordered.resize(size_t(m_slotCount));
        std::vector<qsizetype> border;
        for (int slot = 0; slot < m_slotCount; ++slot)
            m_bordered[size_t(slot)] = hasBorder(m_tokens[size_t(slot)], border);
        m_colonPairs.resize(size_t(m_slotCount));
        m_buckets.resize(size_t(m_slotCount));
        m_sweepPass.assign(size_t(m_slotCount), false);
        m_firstCount.assign(size_t(m_slotCount), 0);
        // A walk reads at most the two colons, a name and one character more.
        const qsizetype walk = m_trie.maxLen() + 2;
        if (m_trie.hasDoubleColon()) {
            // A walk may then read past many "::": look back over its whole length instead.
            m_reach = walk;
        } else {
            m_reach = std::min<qsizetype>(std::max(tuning.nearReach, 0), walk);
            m_noting = walk > m_reach;
        }
    }

    PourResult run(QString page) {
        reset(std::move(page));
        file(-1);
        m_firstCountKnown = true;
        for (int pass = 0; pass < m_slotCount; ++pass) {
            if (!runPass(pass)) return {QString(), m_failure};
        }
        return {flatten(), PourFailure::None};
    }

private:
    struct Note {
        Pos walker;
        quint32 generation;
    };

    // --- The text ---------------------------------------------------------------------------

    char16_t at(Pos x) const {
        return x < m_baseSize ? m_baseData[x] : m_copies.constData()[x - m_baseSize].unicode();
    }
    Pos next(Pos x) const { return m_jumpNext.test(x) ? m_nextMap.get(x) : x + 1; }
    Pos prev(Pos x) const { return m_jumpPrev.test(x) ? m_prevMap.get(x) : x - 1; }
    Pos before(Pos x) const { return x == kTail ? m_last : prev(x); }
    // next(), quicker while the page is the base alone.
    Pos step(Pos x) const {
        if (m_flat) return x + 1 < m_baseSize ? x + 1 : kTail;
        return next(x);
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

    Pos appendCopy(const QString& text) {
        const Pos at = m_baseSize + Pos(m_copies.size());
        m_copies.append(text);
        const size_t end = size_t(at) + size_t(text.size());
        m_dead.grow(end);
        m_jumpNext.grow(end);
        m_jumpPrev.grow(end);
        m_seen.grow(end);
        return at;
    }

    // The page in one piece.
    QString flatten() const {
        if (m_flat) return m_base;
        QString out(m_size, Qt::Uninitialized);
        char16_t* to = reinterpret_cast<char16_t*>(out.data());
        const char16_t* copies = reinterpret_cast<const char16_t*>(m_copies.constData());
        for (Pos x = m_first; x != kTail;) {
            const Pos end = m_jumpNext.findNext(x); // every run ends at a jump
            const char16_t* from = x < m_baseSize ? m_baseData + x : copies + (x - m_baseSize);
            to = std::copy_n(from, end - x + 1, to);
            x = m_nextMap.get(end);
        }
        return out;
    }

    // Writes the page out in one piece and carries the filing over: the text does not change,
    // so every entry keeps its pass and only moves to its new position.
    void rebase(int after) {
        m_seen.release();
        m_jumpPrev.release();
        m_prevMap.release();
        // Write the page out, marking where each run starts in the store and in the page.
        QString page(m_size, Qt::Uninitialized);
        char16_t* const out = reinterpret_cast<char16_t*>(page.data());
        char16_t* to = out;
        const char16_t* copies = reinterpret_cast<const char16_t*>(m_copies.constData());
        Bits runStart;
        runStart.assign(m_baseSize + size_t(m_copies.size()));
        PosMap runAt;
        runAt.clear();
        for (Pos x = m_first; x != kTail;) {
            const Pos end = m_jumpNext.findNext(x);
            runStart.set(x);
            runAt.put(x, Pos(to - out));
            const char16_t* from = x < m_baseSize ? m_baseData + x : copies + (x - m_baseSize);
            to = std::copy_n(from, end - x + 1, to);
            x = m_nextMap.get(end);
        }
        // A living position lies in the run that starts last at or before it.
        const std::vector<Pos> lastBefore = runStart.lastSetBefore();
        auto moved = [&](Pos y) {
            const Pos run = runStart.lastSetAtOrBefore(y, lastBefore);
            return runAt.get(run) + (y - run);
        };
        std::vector<std::vector<Pos>> buckets(static_cast<size_t>(m_slotCount));
        for (int pass = after + 1; pass < m_slotCount; ++pass) {
            std::vector<Pos>& bucket = m_buckets[size_t(pass)];
            bucket.erase(
                std::remove_if(bucket.begin(), bucket.end(), [&](Pos y) { return m_dead.test(y); }),
                bucket.end());
            for (Pos& y : bucket)
                y = moved(y);
            buckets[size_t(pass)].swap(bucket);
        }
        // Far walkers are walked again, for notes at their new positions.
        std::vector<Pos> walkers;
        for (const auto& [y, generation] : m_generation) {
            if (!m_dead.test(y)) walkers.push_back(moved(y));
        }
        reset(std::move(page));
        m_buckets.swap(buckets);
        m_filed = true;
        m_debt = 0;
        for (Pos y : walkers)
            evaluate(y, after, kNone);
    }

    // What filing built: rebuilt by the next one.
    void dropFiling() {
        for (auto& bucket : m_buckets)
            std::vector<Pos>().swap(bucket);
        decltype(m_notes)().swap(m_notes);
        decltype(m_generation)().swap(m_generation);
    }

    void release() {
        dropFiling();
        m_base = QString();
        m_baseData = nullptr;
        m_baseSize = 0;
        m_copies = QString();
        m_dead.release();
        m_jumpNext.release();
        m_jumpPrev.release();
        m_seen.release();
        m_nextMap.release();
        m_prevMap.release();
    }

    // Makes `page` the whole store, not filed yet.
    void reset(QString page) {
        release();
        m_base = std::move(page);
        m_baseData = reinterpret_cast<const char16_t*>(m_base.constData());
        m_baseSize = Pos(m_base.size());
        m_size = m_base.size();
        m_flat = true;
        m_dead.assign(m_baseSize);
        m_jumpNext.assign(m_baseSize);
        m_jumpPrev.assign(m_baseSize);
        m_seen.assign(m_baseSize);
        m_nextMap.clear();
        m_prevMap.clear();
        m_first = kTail;
        m_last = kHead;
        if (m_baseSize > 0) {
            link(kHead, 0);
            link(m_baseSize - 1, kTail);
        }
        m_filed = false;
    }

    // Files every "::" of the page, which is the base, for the passes after `after`.
    void file(int after) {
        fileAll(after);
        m_filed = true;
        m_debt = 0;
    }

    template <typename F> void forEachPair(F&& f) const {
        for (size_t i = nextColon(m_baseData, 0, m_baseSize); i + 1 < m_baseSize;
             i = nextColon(m_baseData, i + 1, m_baseSize)) {
            if (m_baseData[i + 1] == u':') f(Pos(i));
        }
    }

    void fileAll(int after) {
        std::fill(m_sweepPass.begin(), m_sweepPass.end(), false);
        const bool counting = !m_firstCountKnown;
        forEachPair([&](Pos y) { evaluate(y, after, kNone, counting); });
    }

    // --- Filing -----------------------------------------------------------------------------

    struct Walk {
        int pass = kNoPass; // the first pass after `after` whose token starts here
        bool reached = false;
    };

    // Walks the name after the "::" at y along the trie. `watch` (if any) is reached when the
    // walk reads it; with m_noting, m_far collects every "::" read beyond the near reach.
    Walk walk(Pos y, int after, Pos watch) {
        Walk w;
        m_far.clear();
        const Pos y1 = step(y);
        w.reached = watch == kNone || y1 == watch;
        w.pass = m_trie.firstSlotAfter(0, after);
        int node = 0;
        Pos last = y1; // the last position read, and how far it is from y
        qsizetype lastDist = 1;
        for (Pos cur = step(y1);; cur = step(cur)) {
            if (cur == watch) w.reached = true;
            const bool colon = cur != kTail && at(cur) == u':';
            if (m_noting && colon && lastDist > m_reach && at(last) == u':') m_far.push_back(last);
            if (cur == kTail) break;
            node = m_trie.child(node, at(cur));
            if (node < 0) {
                // The character that ends the walk was read too.
                if (m_noting && colon && lastDist + 1 > m_reach) {
                    const Pos after1 = step(cur);
                    if (after1 != kTail && at(after1) == u':') m_far.push_back(cur);
                }
                break;
            }
            w.pass = std::min(w.pass, m_trie.firstSlotAfter(node, after));
            last = cur;
            ++lastDist;
        }
        return w;
    }

    bool isPair(Pos y) const {
        if (m_dead.test(y) || at(y) != u':') return false;
        const Pos y1 = step(y);
        return y1 != kTail && at(y1) == u':';
    }

    // Files the "::" at y (if it is one) under the first pass after `after` that matches it.
    // With a `watch`, only when the walk reads that position: the text changed from there on,
    // and a walk that stops before it found what it found before.
    void evaluate(Pos y, int after, Pos watch, bool counting = false) {
        if (!isPair(y)) return;
        const Walk w = walk(y, after, watch);
        if (!w.reached) return;
        if (w.pass != kNoPass) {
            if (counting) ++m_firstCount[size_t(w.pass)];
            if (!m_sweepPass[size_t(w.pass)]) {
                auto& bucket = m_buckets[size_t(w.pass)];
                bucket.push_back(y);
                m_debt += 2;
                // As many occurrences as a sweep takes: leave the pass to its sweep.
                if (dense(qsizetype(bucket.size()))) {
                    m_sweepPass[size_t(w.pass)] = true;
                    std::vector<Pos>().swap(bucket);
                }
            }
        }
        if (m_noting) note(y);
    }

    void note(Pos y) {
        auto it = m_generation.find(y);
        if (it != m_generation.end()) ++it->second; // its earlier notes no longer hold
        if (m_far.empty()) return;
        if (it == m_generation.end()) it = m_generation.emplace(y, 0).first;
        for (Pos z : m_far)
            m_notes.emplace(z, Note{y, it->second});
        m_debt += 32 * qint64(m_far.size());
    }

    const std::vector<qsizetype>& colonPairs(int slot) {
        auto& pairs = m_colonPairs[size_t(slot)];
        if (!pairs) {
            pairs.emplace();
            const QString& text = m_html[slot];
            for (qsizetype i = text.indexOf(u':'); i >= 0 && i + 1 < text.size();
                 i = text.indexOf(u':', i + 1)) {
                if (text[i + 1] == u':') pairs->push_back(i);
            }
        }
        return *pairs;
    }

    // --- Passes -----------------------------------------------------------------------------

    bool runPass(int pass) {
        if (!m_filed) {
            // Just after a sweep the page is in one piece: count this pass's occurrences
            // directly, and file the page only when the pass is not one for a sweep too (as
            // it is where every pass multiplies the placeholders of the next).
            const qsizetype count = countMatches(m_base, m_tokens[size_t(pass)]);
            if (count > 0 && dense(count)) return sweep(pass, count);
            file(pass - 1);
        } else if (m_debt > qint64(m_size) / 2 + m_tuning.rebaseSlack) {
            rebase(pass - 1);
        }
        if (m_sweepPass[size_t(pass)]) return sweep(pass);
        std::vector<Pos> bucket;
        bucket.swap(m_buckets[size_t(pass)]);
        if (bucket.empty()) return true;

        // Keep the entries whose token still matches; each once.
        const QString& token = m_tokens[size_t(pass)];
        m_found.clear();
        for (Pos y : bucket) {
            if (m_seen.test(y)) continue;
            m_seen.set(y);
            if (!m_dead.test(y) && matches(y, token)) m_found.push_back(y);
        }
        for (Pos y : bucket)
            m_seen.reset(y);
        std::vector<Pos>().swap(bucket);
        if (m_bordered[size_t(pass)] && m_found.size() > 1) chooseLeftmost(token.size());
        if (m_found.empty()) return true;

        const qsizetype count = qsizetype(m_found.size());
        if (dense(count)) return sweep(pass, count);
        if (!accept(pass, count)) return false;
        for (Pos g : m_found)
            replace(g, pass);
        return true;
    }

    bool matches(Pos y, const QString& token) const {
        Pos x = y;
        for (QChar c : token) {
            if (x == kTail || at(x) != c.unicode()) return false;
            x = next(x);
        }
        return true;
    }

    // Of occurrences that overlap (a token that overlaps itself), the literal pass takes them
    // from the left: the first, then the next that starts after its end, and so on.
    void chooseLeftmost(qsizetype length) {
        const size_t n = m_found.size();
        std::unordered_map<Pos, size_t> index;
        index.reserve(n);
        for (size_t i = 0; i < n; ++i)
            index.emplace(m_found[i], i);
        // Each occurrence's nearest overlapping one to its left chains them in page order.
        constexpr size_t kNoLink = size_t(-1);
        std::vector<size_t> follower(n, kNoLink);
        std::vector<qsizetype> gap(n, 0);
        std::vector<bool> led(n, false);
        for (size_t i = 0; i < n; ++i) {
            Pos y = before(m_found[i]);
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
                    chosen.push_back(m_found[k]);
                    end = at + length;
                }
            }
        }
        m_found.swap(chosen);
    }

    // Whether `count` replacements of this pass keep the page within the limit.
    bool accept(int pass, qsizetype count) {
        const qsizetype delta = m_html[pass].size() - m_tokens[size_t(pass)].size();
        const qsizetype size = m_size + count * delta;
        // Occurrences beyond those the default HTML had came with inserted HTML.
        const qsizetype inserted = std::max<qsizetype>(0, count - m_firstCount[size_t(pass)]);
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
        const qsizetype length = m_tokens[size_t(pass)].size();
        const Pos left = before(g);
        Pos x = g;
        for (qsizetype k = 0; k < length; ++k) {
            m_dead.set(x);
            x = next(x);
        }
        const Pos right = x;
        Pos start = right; // the first character after `left` from now on
        if (!html.isEmpty()) {
            start = appendCopy(html);
            link(left, start);
            link(start + Pos(html.size()) - 1, right);
        } else {
            link(left, right);
        }
        m_flat = false;
        m_size += html.size() - length;
        m_debt += length + html.size() + 48;

        if (!html.isEmpty()) {
            for (qsizetype offset : colonPairs(pass))
                evaluate(start + Pos(offset), pass, kNone);
            if (html.back() == u':' && right != kTail && at(right) == u':')
                evaluate(start + Pos(html.size()) - 1, pass, kNone);
        }
        if (m_noting) {
            const auto [lo, hi] = m_notes.equal_range(g);
            std::vector<Pos> walkers;
            for (auto it = lo; it != hi; ++it) {
                const auto gen = m_generation.find(it->second.walker);
                if (gen != m_generation.end() && gen->second == it->second.generation)
                    walkers.push_back(it->second.walker);
            }
            m_notes.erase(lo, hi);
            for (Pos y : walkers)
                evaluate(y, pass, kNone);
        }
        Pos y = left;
        for (qsizetype k = 0; k < m_reach && y != kHead; ++k, y = prev(y)) {
            if (at(y) == u':') evaluate(y, pass, start);
        }
    }

    // Whether a pass with this many occurrences is done by a sweep.
    bool dense(qsizetype count) const {
        return m_tuning.denseFactor > 0 && qint64(count) * m_tuning.denseFactor >= qint64(m_size);
    }

    // Calls f(at) for every occurrence of token in text, from the left, not overlapping.
    template <typename F>
    static void forEachMatch(const QString& text, const QString& token, F&& f) {
        const auto* in = reinterpret_cast<const char16_t*>(text.constData());
        const auto* find = reinterpret_cast<const char16_t*>(token.constData());
        const size_t length = size_t(token.size());
        const size_t size = size_t(text.size());
        // Every token starts with ':'.
        for (size_t at = nextColon(in, 0, size); at + length <= size;) {
            size_t k = 0;
            while (k < length && in[at + k] == find[k])
                ++k;
            if (k == length) {
                f(at);
                at = nextColon(in, at + length, size);
            } else {
                at = nextColon(in, at + 1, size);
            }
        }
    }
    static qsizetype countMatches(const QString& text, const QString& token) {
        qsizetype count = 0;
        forEachMatch(text, token, [&](size_t) { ++count; });
        return count;
    }

    // The literal pass over the page in one piece. `count`: its occurrences, if known.
    bool sweep(int pass, qsizetype count = -1) {
        dropFiling();
        QString page = flatten();
        const QString& token = m_tokens[size_t(pass)];
        const QString& html = m_html[pass];
        if (count < 0) count = countMatches(page, token);
        if (count == 0) {
            reset(std::move(page));
            return true;
        }
        if (!accept(pass, count)) return false;
        release();
        QString out(page.size() + count * (html.size() - token.size()), Qt::Uninitialized);
        auto* to = reinterpret_cast<char16_t*>(out.data());
        const auto* text = reinterpret_cast<const char16_t*>(page.constData());
        const auto* with = reinterpret_cast<const char16_t*>(html.constData());
        size_t from = 0;
        forEachMatch(page, token, [&](size_t at) {
            to = std::copy(text + from, text + at, to);
            to = std::copy_n(with, html.size(), to);
            from = at + size_t(token.size());
        });
        std::copy(text + from, text + page.size(), to);
        page = QString();
        reset(std::move(out));
        return true;
    }

    const QStringList m_html;
    Trie m_trie;
    const qsizetype m_limit;
    const PourTuning m_tuning;
    const int m_slotCount;
    std::vector<QString> m_tokens;
    std::vector<bool> m_bordered;
    std::vector<std::optional<std::vector<qsizetype>>> m_colonPairs;
    qsizetype m_reach = 0;
    bool m_noting = false;

    // The store: the base, then the copies.
    QString m_base;
    const char16_t* m_baseData = nullptr;
    Pos m_baseSize = 0;
    QString m_copies;
    bool m_flat = true;   // the page is the base, unchanged
    bool m_filed = false; // every "::" of the page is filed
    qsizetype m_size = 0;
    Pos m_first = kTail;
    Pos m_last = kHead;
    Bits m_dead, m_jumpNext, m_jumpPrev, m_seen;
    PosMap m_nextMap, m_prevMap;

    std::vector<std::vector<Pos>> m_buckets;
    std::vector<bool> m_sweepPass;
    std::unordered_multimap<Pos, Note> m_notes;
    std::unordered_map<Pos, quint32> m_generation;
    std::vector<Pos> m_far;
    std::vector<Pos> m_found;
    // The bookkeeping of in-place replacements since the page was filed, in characters (two
    // bytes): the copies, about 48 a replacement for its jumps, 2 an entry, 32 a note.
    qint64 m_debt = 0;

    // How many "::" of the default HTML each pass took first, and how much the page grew by
    // replacing occurrences beyond those.
    std::vector<qsizetype> m_firstCount;
    bool m_firstCountKnown = false;
    qsizetype m_grownByInserted = 0;
    PourFailure m_failure = PourFailure::None;
};

} // namespace

PourResult pourPageTuned(const QString& page, const QString& title, const QStringList& names,
                         const QStringList& html, qsizetype maxChars, const PourTuning& tuning) {
    const qsizetype limit = std::clamp<qsizetype>(maxChars, 0, kLargestLimit);
    if (page.size() > limit) return {QString(), PourFailure::PageTooLarge};
    // The title pass goes first, as slot 0: "::" + "title::".
    QStringList passNames = names.isEmpty() ? QStringList{QString()} : names;
    QStringList passHtml = html;
    while (passHtml.size() < passNames.size())
        passHtml << QString();
    passNames[0] = QStringLiteral("title::");
    passHtml[0] = title;
    return Engine(passNames, passHtml, limit, tuning).run(page);
}

PourResult pourPage(const QString& page, const QString& title, const QStringList& names,
                    const QStringList& html, qsizetype maxChars) {
    return pourPageTuned(page, title, names, html, maxChars, PourTuning{});
}

} // namespace quillane
