// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <Qsci/qsciscintilla.h>

namespace quillane {

// The HTML fields: a plain-text code editor with HTML highlighting, line numbers and a
// monospace font. Text goes in and out unchanged (every character, line ends of any kind and
// zero characters included); typed line ends are CR LF. Every change, typed or set by the
// program, emits textChanged().
//
// It behaves as a field of its window: Tab and Shift+Tab move on along the tab order,
// Ctrl+Tab types a tab (Ctrl+Shift+Tab takes one away), and Escape is the window's. Its
// colours follow the palette, light or dark, and ::placeholders:: have a colour of their own.
class CodeEditor : public QsciScintilla {
    Q_OBJECT
public:
    explicit CodeEditor(QWidget* parent = nullptr);

    // The whole text. Hides QsciScintilla::text(), which stops at a zero character.
    QString text() const;
    void setText(const QString& text) override;

    // The indicator that marks ::placeholders::, and the byte ranges it covers.
    static constexpr int kPlaceholderIndicator = 8;
    QList<std::pair<int, int>> placeholderRanges() const;
    QColor placeholderColour() const { return m_placeholder; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyPalette();
    void markPlaceholders(int fromLine, int toLine);

    QColor m_placeholder;
};

} // namespace quillane
