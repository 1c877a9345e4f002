#include "ui/code_editor.h"

#include <QFontDatabase>
#include <Qsci/qscilexerhtml.h>

namespace quillane {

CodeEditor::CodeEditor(QWidget* parent) : QsciScintilla(parent) {
    setUtf8(true);
    setEolMode(QsciScintilla::EolWindows);
    setEolVisibility(false);

    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setStyleHint(QFont::Monospace);
    auto* lexer = new QsciLexerHTML(this);
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

} // namespace quillane
