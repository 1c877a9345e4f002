#pragma once

#include "core/ports.h"

#include <QMainWindow>

namespace quillane {

class UiSession;

// frmTemplates: the template designer, the workspace's editor for the designer mode.
class frmTemplates : public QMainWindow, public DesignerPort {
    Q_OBJECT
public:
    explicit frmTemplates(UiSession& ui, QWidget* parent = nullptr);
    ~frmTemplates() override;

    void Form_Load();
    bool mnuFileSave_Click();
    // Closes the window with no question (the switch command and the end of the program).
    void closeWithoutAsking();

    // DesignerPort
    QString templateName() const override;
    void setTemplateName(const QString& text) override;
    QString defaultHtml() const override;
    void setDefaultHtml(const QString& text) override;
    void clearSectionList() override;
    void addSectionListEntry(const QString& name) override;
    bool save() override { return mnuFileSave_Click(); }

private:
    UiSession& m_ui;
    QString m_name;
    QString m_html;
    bool m_closing = false;
};

} // namespace quillane
