#pragma once

#include <Qsci/qsciscintilla.h>

namespace quillane {

// The HTML fields: a plain-text code editor with HTML highlighting, line numbers and a
// monospace font. Text goes in and out unchanged; typed line ends are CR LF. Every change,
// typed or set by the program, emits textChanged().
class CodeEditor : public QsciScintilla {
    Q_OBJECT
public:
    explicit CodeEditor(QWidget* parent = nullptr);
};

} // namespace quillane
