// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/text_codec.h"

#include <array>
#include <cstring>

namespace quillane {

namespace {

// Windows-1252 0x80..0x9F. The five bytes the code page leaves undefined map to the C1
// controls of the same value, so they survive a round trip.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int cp1252Byte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] == c) return 0x80 + i;
    }
    return -1;
}

bool isAscii(const QByteArray& bytes) {
    const char* p = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    quint64 any = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 w;
        std::memcpy(&w, p + i, 8);
        any |= w;
    }
    for (; i < n; ++i)
        any |= quint64(static_cast<unsigned char>(p[i]));
    return (any & 0x8080808080808080ULL) == 0;
}

bool isValidUtf8(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra;
        char32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= extra) return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

QString decodeCp1252(const QByteArray& bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* d = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        d[i] = QChar(b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : char16_t(b));
    }
    return out;
}

} // namespace

QString decodeText(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    if (isAscii(bytes)) return QString::fromLatin1(bytes);
    if (isValidUtf8(bytes)) return QString::fromUtf8(bytes);
    return decodeCp1252(bytes);
}

bool encodeCp1252(const QString& text, QByteArray& out) {
    const qsizetype start = out.size();
    out.resize(start + text.size());
    char* d = out.data() + start;
    for (QChar ch : text) {
        const int b = cp1252Byte(ch.unicode());
        if (b < 0) return false;
        *d++ = char(b);
    }
    return true;
}

QByteArray encodeForStorage(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    // Windows-1252 bytes that happen to form valid UTF-8 would be read back as UTF-8 and come
    // back as other characters; such text is written as UTF-8 with its mark instead.
    if (encodeCp1252(text, out) && (isAscii(out) || !isValidUtf8(out))) return out;
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

QByteArray encodeCp1252WithReferences(const QString& text) {
    QByteArray out;
    out.reserve(text.size() + 16);
    const qsizetype n = text.size();
    const QChar* s = text.constData();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i].unicode();
        const int b = cp1252Byte(c);
        if (b >= 0) {
            out.append(char(b));
            continue;
        }
        char32_t cp = c;
        if (QChar::isHighSurrogate(c) && i + 1 < n && s[i + 1].isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(c, s[i + 1].unicode());
            ++i;
        }
        out.append("&#");
        out.append(QByteArray::number(uint(cp)));
        out.append(';');
    }
    return out;
}

bool declaresUtf8(const QString& page) {
    // ASCII case folding is all a charset declaration needs; the whole head is not lowered.
    const QStringView head = QStringView(page).left(1024);
    auto lower = [&](qsizetype i) -> char16_t {
        const char16_t c = head[i].unicode();
        return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
    };
    auto at = [&](qsizetype i, const char* word) {
        for (qsizetype k = 0; word[k]; ++k) {
            if (i + k >= head.size() || lower(i + k) != char16_t(word[k])) return false;
        }
        return true;
    };
    auto space = [&](qsizetype i) { return i < head.size() && QChar::isSpace(head[i].unicode()); };
    for (qsizetype meta = head.indexOf(u'<'); meta >= 0; meta = head.indexOf(u'<', meta + 1)) {
        if (!at(meta, "<meta")) continue;
        for (qsizetype i = meta + 5; i < head.size() && head[i] != u'>'; ++i) {
            if (!at(i, "charset")) continue;
            qsizetype v = i + 7;
            while (space(v))
                ++v;
            if (v >= head.size() || head[v] != u'=') continue;
            ++v;
            while (space(v) || (v < head.size() && (head[v] == u'"' || head[v] == u'\'')))
                ++v;
            return at(v, "utf-8") || at(v, "utf8");
        }
    }
    return false;
}

QByteArray encodePage(const QString& page) {
    return declaresUtf8(page) ? page.toUtf8() : encodeCp1252WithReferences(page);
}

QString decodePage(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    // A declaration within the first 1024 characters, which are at most 4096 bytes.
    if (declaresUtf8(QString::fromUtf8(bytes.left(4096)))) return QString::fromUtf8(bytes);
    return decodeCp1252(bytes);
}

bool LineReader::readLine(QStringView& line) {
    if (atEnd()) return false;
    const qsizetype cr = m_text.indexOf(u'\r', m_pos);
    if (cr < 0) {
        line = QStringView(m_text).mid(m_pos);
        m_pos = m_text.size();
        return true;
    }
    line = QStringView(m_text).mid(m_pos, cr - m_pos);
    m_pos = cr + 1;
    if (m_pos < m_text.size() && m_text[m_pos] == u'\n') ++m_pos;
    return true;
}

bool LineReader::readLine(QString& line) {
    QStringView view;
    if (!readLine(view)) return false;
    line = view.toString();
    return true;
}

} // namespace quillane
