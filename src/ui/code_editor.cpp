#include "ui/code_editor.h"

namespace quillane {

CodeEditor::CodeEditor(QWidget* parent) : QsciScintilla(parent)
{
    setEolMode(QsciScintilla::EolWindows);
}

} // namespace quillane
