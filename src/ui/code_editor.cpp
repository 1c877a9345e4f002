// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/code_editor.h"

#include "ui/theme.h"

#include <QEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <Qsci/qscilexerhtml.h>

namespace quillane {

namespace {

// The lexer's own lists are those of HTML 4; these are the elements and attributes that came
// since (SVG inside a page included), so that a page of today shows no false "unknown tag".
const char kCurrentHtml[] =
    " article aside audio bdi canvas data datalist details dialog embed figcaption figure "
    "footer header hgroup main mark meter nav output picture progress rp rt ruby search section "
    "slot source summary svg template time track video wbr math g path circle rect line polyline "
    "polygon ellipse text tspan use defs symbol lineargradient radialgradient stop clippath mask "
    "allow allowfullscreen as async autocapitalize autocomplete autofocus autoplay blocking "
    "capture contenteditable controls crossorigin decoding default dirname download draggable "
    "enterkeyhint fetchpriority form formaction formenctype formmethod formnovalidate formtarget "
    "hidden high imagesizes imagesrcset inert inputmode integrity is itemid itemprop itemref "
    "itemscope itemtype kind list loading loop low max min minlength muted nomodule nonce "
    "novalidate open optimum pattern ping placeholder playsinline popover popovertarget "
    "popovertargetaction poster preload referrerpolicy required reversed role sandbox sizes "
    "spellcheck srcdoc srclang srcset step translate wrap viewbox d fill stroke stroke-width "
    "transform cx cy r rx ry x y x1 y1 x2 y2 points opacity xmlns:xlink xlink:href onabort "
    "onafterprint onbeforeprint onbeforeunload oncanplay oncontextmenu oncopy oncut ondrag "
    "ondragend ondragenter ondragleave ondragover ondragstart ondrop onended onerror "
    "onhashchange oninput oninvalid onmessage onmouseenter onmouseleave onoffline ononline "
    "onpagehide onpageshow onpaste onpause onplay onpopstate onprogress onresize onscroll "
    "onstorage ontoggle onwheel onpointerdown onpointerup onpointermove ontouchstart "
    "ontouchend ontouchmove onanimationend ontransitionend aria-activedescendant aria-atomic "
    "aria-autocomplete aria-busy aria-checked aria-colcount aria-colindex aria-colspan "
    "aria-controls aria-current aria-describedby aria-description aria-details aria-disabled "
    "aria-errormessage aria-expanded aria-flowto aria-haspopup aria-hidden aria-invalid "
    "aria-keyshortcuts aria-label aria-labelledby aria-level aria-live aria-modal "
    "aria-multiline aria-multiselectable aria-orientation aria-owns aria-placeholder "
    "aria-posinset aria-pressed aria-readonly aria-relevant aria-required aria-roledescription "
    "aria-rowcount aria-rowindex aria-rowspan aria-selected aria-setsize aria-sort "
    "aria-valuemax aria-valuemin aria-valuenow aria-valuetext";

class CurrentHtmlLexer : public QsciLexerHTML {
public:
    using QsciLexerHTML::QsciLexerHTML;
    const char* keywords(int set) const override {
        if (set != 1) return QsciLexerHTML::keywords(set);
        static const QByteArray all = QByteArray(QsciLexerHTML::keywords(1)) + kCurrentHtml;
        return all.constData();
    }
};

// What a style shows, and so its colour. Attributes the lexer does not know (data-*, custom
// ones) are legal HTML and look like the others; unknown elements stand out as errors.
enum class Role { Text, Tag, Error, Attribute, Number, String, Comment, Entity, Keyword, Special };

Role roleOf(const QString& description) {
    static const std::pair<const char*, Role> byWord[] = {
        {"unknown tag", Role::Error},   {"unclosed", Role::Error},
        {"error", Role::Error},         {"comment", Role::Comment},
        {"string", Role::String},       {"regular expression", Role::String},
        {"value", Role::String},        {"number", Role::Number},
        {"keyword", Role::Keyword},     {"entity", Role::Entity},
        {"attribute", Role::Attribute}, {"parameter", Role::Attribute},
        {"variable", Role::Attribute},  {"tag", Role::Tag},
        {"command", Role::Tag},         {"fragment", Role::Special},
        {"cdata", Role::Special},       {"class name", Role::Special},
        {"function", Role::Special},
    };
    const QString d = description.toLower();
    for (const auto& [word, role] : byWord) {
        if (d.contains(QLatin1String(word))) return role;
    }
    return Role::Text;
}

// The hue of a role, as drawn on a light and on a dark field; readableOn() then makes sure
// it stands out from the actual field enough.
QColor roleColour(Role role, bool dark, const QColor& text) {
    struct Shade {
        QRgb light, dark;
    };
    Shade s{};
    switch (role) {
    case Role::Text:
        return text;
    case Role::Tag:
    case Role::Keyword:
        s = {0x1d4ed8, 0x82aaff};
        break;
    case Role::Error:
        s = {0xc62828, 0xff8a80};
        break;
    case Role::Attribute:
        s = {0x8a4500, 0xf0b070};
        break;
    case Role::Number:
        s = {0x7b1fa2, 0xd39cf2};
        break;
    case Role::String:
        s = {0x1b7a2e, 0x8ad48a};
        break;
    case Role::Comment:
        s = {0x5f6b76, 0x9aa5b1};
        break;
    case Role::Entity:
        s = {0xad1457, 0xf48fb1};
        break;
    case Role::Special:
        s = {0x8a6d00, 0xe5c07b};
        break;
    }
    return QColor::fromRgb(dark ? s.dark : s.light);
}

// A placeholder: "::" and a name up to the next "::", on one line and without the characters
// that mark markup or style sheets (so CSS's "a::before" is left alone).
bool isNameByte(char c) {
    return !QByteArrayView(":<>{};\"'=\r\n\t").contains(c);
}

} // namespace

CodeEditor::CodeEditor(QWidget* parent) : QsciScintilla(parent) {
    setUtf8(true);
    setEolMode(QsciScintilla::EolWindows);
    setEolVisibility(false);

    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setStyleHint(QFont::Monospace);
    auto* lexer = new CurrentHtmlLexer(this);
    lexer->setDefaultFont(mono);
    lexer->setFont(mono, -1); // every style, so the whole page stays in one monospace font
    setLexer(lexer);
    setFont(mono);

    setMarginType(0, QsciScintilla::NumberMargin);
    setMarginLineNumbers(0, true);
    setMarginsFont(mono);
    setMarginWidth(0, QStringLiteral("0000"));
    setMarginWidth(1, 0);
    setFolding(QsciScintilla::NoFoldStyle);
    setWrapMode(QsciScintilla::WrapNone);
    setTabWidth(4);
    // The horizontal scroll bar follows the longest line instead of a fixed page width.
    setScrollWidth(1);
    setScrollWidthTracking(true);

    indicatorDefine(TextColorIndicator, kPlaceholderIndicator);
    // Lines are marked as soon as they change (the change is complete by then).
    connect(
        this, &QsciScintillaBase::SCN_MODIFIED, this,
        [this](int position, int type, const char*, int, int linesAdded, int, int, int, int, int) {
            if (!(type & (SC_MOD_INSERTTEXT | SC_MOD_DELETETEXT))) return;
            const int line =
                int(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(position)));
            markPlaceholders(line, line + std::max(0, linesAdded));
        });
    applyPalette();
}

QString CodeEditor::text() const {
    const long len = SendScintilla(SCI_GETLENGTH);
    QByteArray bytes(len + 1, '\0');
    SendScintilla(SCI_GETTEXT, static_cast<unsigned long>(len + 1),
                  static_cast<void*>(bytes.data()));
    bytes.chop(1);
    return QString::fromUtf8(bytes);
}

void CodeEditor::setText(const QString& text) {
    // Clearing and appending with an explicit length keeps zero characters that the
    // zero-terminated SCI_SETTEXT would cut off. Both steps raise textChanged().
    const QByteArray bytes = text.toUtf8();
    SendScintilla(SCI_CLEARALL);
    SendScintilla(SCI_APPENDTEXT, static_cast<uintptr_t>(bytes.size()), bytes.constData());
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    SendScintilla(SCI_GOTOPOS, 0L);
}

void CodeEditor::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    const bool back = event->key() == Qt::Key_Backtab || (mods & Qt::ShiftModifier);
    if (tab && !(mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        // As in every other field, Tab leaves for the next control.
        QWidget::focusNextPrevChild(!back);
        event->accept();
        return;
    }
    if (tab && mods == (Qt::ControlModifier | (mods & Qt::ShiftModifier))) {
        SendScintilla(back ? SCI_BACKTAB : SCI_TAB);
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape && mods == Qt::NoModifier && !isListActive() &&
        !isCallTipActive()) {
        event->ignore(); // the window's key: Cancel in a dialog
        return;
    }
    QsciScintilla::keyPressEvent(event);
}

void CodeEditor::changeEvent(QEvent* event) {
    QsciScintilla::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) applyPalette();
}

void CodeEditor::applyPalette() {
    const QPalette& p = palette();
    const QColor base = p.color(QPalette::Base);
    const QColor text = readableOn(p.color(QPalette::Text), base);
    const bool dark = isDark(p);
    QsciLexer* lex = lexer();
    lex->setDefaultPaper(base);
    lex->setDefaultColor(text);
    for (int style = 0; style < 128; ++style) {
        const QString description = lex->description(style);
        lex->setPaper(base, style);
        lex->setColor(readableOn(roleColour(roleOf(description), dark, text), base), style);
    }
    setPaper(base);
    setColor(text);
    setCaretForegroundColor(text);
    setSelectionBackgroundColor(p.color(QPalette::Highlight));
    setSelectionForegroundColor(p.color(QPalette::HighlightedText));
    const QColor margin = p.color(QPalette::Window);
    QColor numbers = p.color(QPalette::WindowText);
    numbers.setRgbF(numbers.redF() * 0.6f + margin.redF() * 0.4f,
                    numbers.greenF() * 0.6f + margin.greenF() * 0.4f,
                    numbers.blueF() * 0.6f + margin.blueF() * 0.4f);
    setMarginsBackgroundColor(margin);
    setMarginsForegroundColor(readableOn(numbers, margin));
    m_placeholder = readableOn(QColor::fromRgb(dark ? 0x4dd0c4 : 0x00796b), base);
    setIndicatorForegroundColor(m_placeholder, kPlaceholderIndicator);
}

void CodeEditor::markPlaceholders(int fromLine, int toLine) {
    const int lines = int(SendScintilla(SCI_GETLINECOUNT));
    toLine = std::min(toLine, lines - 1);
    if (fromLine > toLine) return;
    const long start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(fromLine));
    const long end = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(toLine));
    SendScintilla(SCI_SETINDICATORCURRENT, static_cast<unsigned long>(kPlaceholderIndicator));
    SendScintilla(SCI_INDICATORCLEARRANGE, static_cast<unsigned long>(start), end - start);
    for (int line = fromLine; line <= toLine; ++line) {
        const long lineStart =
            SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
        QByteArray bytes(SendScintilla(SCI_LINELENGTH, static_cast<unsigned long>(line)) + 1, '\0');
        SendScintilla(SCI_GETLINE, static_cast<uintptr_t>(line), bytes.data());
        for (qsizetype at = bytes.indexOf("::"); at >= 0; at = bytes.indexOf("::", at)) {
            qsizetype name = at + 2;
            while (name < bytes.size() && bytes[name] && isNameByte(bytes[name]))
                ++name;
            if (name > at + 2 && bytes.mid(name, 2) == "::") {
                SendScintilla(SCI_INDICATORFILLRANGE, static_cast<unsigned long>(lineStart + at),
                              long(name + 2 - at));
                at = name + 2;
            } else {
                at = name > at + 2 ? name : at + 1;
            }
        }
    }
}

QList<std::pair<int, int>> CodeEditor::placeholderRanges() const {
    QList<std::pair<int, int>> ranges;
    const long length = SendScintilla(SCI_GETLENGTH);
    long pos = 0;
    while (pos < length) {
        const long end =
            SendScintilla(SCI_INDICATOREND, static_cast<unsigned long>(kPlaceholderIndicator), pos);
        if (SendScintilla(SCI_INDICATORVALUEAT, static_cast<unsigned long>(kPlaceholderIndicator),
                          pos))
            ranges.append({int(pos), int(end)});
        if (end <= pos) break;
        pos = end;
    }
    return ranges;
}

} // namespace quillane
