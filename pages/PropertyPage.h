#pragma once
// A wizard page: a widget with the property-page hooks the sheet calls.

#include <QString>
#include <QWidget>

namespace norva {

class ISheetAccess;

class CPropertyPage : public QWidget {
    Q_OBJECT
public:
    CPropertyPage(int templateId, QString caption, QWidget* parent = nullptr)
        : QWidget(parent), m_nTemplateId(templateId), m_strCaption(std::move(caption)) {}

    int TemplateId() const { return m_nTemplateId; }
    // Shown in the sheet's title bar while the page is active.
    QString Caption() const { return m_strCaption; }

    // Called once, at the page's first activation, before OnSetActive.
    virtual bool OnInitDialog() { return true; }
    // Called at every activation; a page posts its wizard buttons here.
    virtual bool OnSetActive() { return true; }
    // 0: the sheet goes to the next page in order; -1: stay on this page.
    virtual int OnWizardNext() { return 0; }
    // 0: the sheet goes to the previous page in order; -1: stay.
    virtual int OnWizardBack() { return 0; }
    // true: the sheet closes.
    virtual bool OnWizardFinish() { return true; }

    bool Initialized() const { return m_bInitialized; }
    void MarkInitialized() { m_bInitialized = true; }

    // The application's main sheet, for pages not (yet) inside one; the sheet
    // registers itself (null: none).
    static void SetMainSheet(QWidget* window, ISheetAccess* access);

protected:
    // The sheet, which is both the page's parent and the application's main
    // window: the window receives the sheet messages, the access serves the
    // pages. Null when there is none.
    QWidget* SheetWindow() const;
    ISheetAccess* Sheet() const;
    // Posts PSM_SETWIZBUTTONS with `flags` to the sheet.
    void PostWizButtons(int flags) const;
    // WM_PAGE_NEXT with this page, posted or sent.
    void PostPageNext() const;
    void SendPageNext() const;
    // Next on step `step`, as the pages' rules hand it over; the result for
    // OnWizardNext.
    int HandNextToSheet(int step) const;

private:
    int m_nTemplateId;
    QString m_strCaption;
    bool m_bInitialized = false;
};

} // namespace norva
