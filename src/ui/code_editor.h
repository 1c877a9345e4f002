#pragma once

#include <Qsci/qsciscintilla.h>

namespace quillane {

// The HTML fields: a plain-text code editor with HTML highlighting, line numbers and a
// monospace font. Text goes in and out unchanged (every character, line ends of any kind and
// zero characters included); typed line ends are CR LF. Every change, typed or set by the
// program, emits textChanged().
class CodeEditor : public QsciScintilla {
    Q_OBJECT
public:
    explicit CodeEditor(QWidget* parent = nullptr);

    // The whole text. Hides QsciScintilla::text(), which stops at a zero character.
    QString text() const;
    void setText(const QString& text) override;
};

} // namespace quillane
