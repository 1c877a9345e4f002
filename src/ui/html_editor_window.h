#pragma once

#include "core/ports.h"

#include <QMainWindow>

namespace quillane {

class UiSession;

// frmHTMLEditor: the HTML editor, the workspace's editor for the HTML editor mode.
class frmHTMLEditor : public QMainWindow, public HtmlEditorPort {
    Q_OBJECT
public:
    explicit frmHTMLEditor(UiSession& ui, QWidget* parent = nullptr);
    ~frmHTMLEditor() override;

    void Form_Load();
    bool mnuFileSave_Click();
    void mnuFileBatch_Click();
    void BatchCompile(const QString& path);
    // Closes the window with no question (the switch command and the end of the program).
    void closeWithoutAsking();

    // HtmlEditorPort
    QString title() const override;
    void setTitle(const QString& text) override;
    QString output() const override;
    void setOutput(const QString& text) override;
    void setTemplateCaption(const QString& caption) override;
    void clearSectionList() override;
    void addSectionListEntry(const QString& name, int slot) override;
    bool save() override { return mnuFileSave_Click(); }

private:
    UiSession& m_ui;
    QString m_title;
    QString m_output;
    bool m_closing = false;
};

} // namespace quillane
