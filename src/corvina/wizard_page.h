// The face every wizard page shows the wizard: made when its step is entered, asked to take over
// and check the user's input on Next, and destroyed when the step is left.
#pragma once

#include <QWidget>

class WizardDialog;

class WizardPage {
public:
    WizardPage() = default;
    WizardPage(const WizardPage&) = delete;
    WizardPage& operator=(const WizardPage&) = delete;
    virtual ~WizardPage() = default;

    // Right after the page was made and placed.
    virtual void OnEnter() {}
    // Takes over the user's input.
    virtual void Apply() {}
    // False keeps the wizard on the page; the page shows any message itself.
    virtual bool Validate() { return true; }
    virtual bool Query() { return false; }
    // The program is closing while the page is shown.
    virtual void Cancel() {}
    // Creates the page window inside the wizard and has the wizard place it.
    virtual void Create(WizardDialog& wizard) = 0;
    // Ends the page window and with it the page. The page goes later, on the event loop, so
    // that a page may move the wizard on from inside one of its own handlers.
    virtual void Destroy() = 0;
    // Before a Back move.
    virtual void OnBack() {}
};

// The common part of the wizard's form pages: a page window on the white background of the
// wizard, created inside the wizard's page area and ended through deleteLater.
class DialogPage : public QWidget, public WizardPage {
    Q_OBJECT
public:
    DialogPage();

    void Create(WizardDialog& wizard) override;
    void Destroy() override;

protected:
    // Builds the page's controls; called once by Create.
    virtual void InitDialog() = 0;
    WizardDialog& Wizard() const { return *wizard_; }

private:
    WizardDialog* wizard_ = nullptr;
};
