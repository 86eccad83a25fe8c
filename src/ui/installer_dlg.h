#pragma once
// The wizard window and its controller. The window side (construction,
// buttons, pages, message boxes, keys) lives in installer_dlg_window.cpp, the
// page sequence in installer_dlg_controller.cpp and the watched installation
// in installer_dlg_install.cpp.
#include <cstdint>
#include <memory>
#include <vector>
#include "session/install_outcome.h"
#include "session/install_session.h"
#include "config/template_locations.h"
#include "kit/kit_reader.h"
#include "text/cow_string.h"
#include "ui/gtk_fwd.h"
#include "ui/wizard_state.h"
#include "ui/wnd.h"

namespace tpl {

class InstallLog;
class WizardDialogPage;
class MessagePage;
class SuccessFinalPage;
class DirSelectPage;
class ProgressPage;

class CInstallerDlg : public CWnd {
public:
    // The toolkit must already be initialised (the caller probes the display
    // once with gtk_init_check, which takes the toolkit's own options from
    // the command line, and runs without a window when it fails).
    // title is UTF-8.
    CInstallerDlg(bool silent, const NarrowString& title, const WideString& languageCode, bool useCurrentDirectory);
    // Waits for a running worker (its rollback included) before anything it
    // uses is released. Touches no toolkit object except the picture and icon.
    ~CInstallerDlg() override;
    CInstallerDlg(const CInstallerDlg&) = delete;
    CInstallerDlg& operator=(const CInstallerDlg&) = delete;

    WideString GetTitle() const override;
    // --target: the directory page starts with it and a silent run installs
    // there; empty for the proposal. Set before RunWizard.
    void SetChosenTarget(const WideString& directory) { chosenTarget_ = directory; }
    // --kit: the kit to install instead of the one looked for (absolute).
    void SetKitFile(const WideString& kitFile) { kitFile_ = kitFile; }
    // --no-record: a success records the directory in no launcher file.
    void SetRecording(bool record) { session_.SetRecording(record); }
    void SetTrustedKeys(const std::vector<WideString>& keys) { trustedKeys_ = keys; }
    // --log: told of the preparation and every step of the installation (may
    // be null; not owned). Set before RunWizard.
    void SetLog(InstallLog* log) {
        log_ = log;
        session_.SetLog(log);
    }

    // Window and navigation.
    void CreateWindow();
    void ShowPage(WizardDialogPage* page);
    // Places the button row and sizes the window for the page shown: 500 x
    // 360 unless a larger font needs more.
    void ArrangeWindow();
    void SetFinishMode();
    // detail: secondary text under the main one (a path, what the system said).
    int32_t MessageBox(const CWnd* owner, const WideString& text, uint32_t flags,
                       const WideString& detail = WideString());
    void RequestCancel();
    void OnCancel();
    bool OnKeyPress(unsigned int keyValue);
    bool OnDeleteEvent();
    void OnBack();
    void OnNext();

    // Controller.
    void RunWizard();
    bool Prepare();
    void ShowWelcomePage();
    void ShowDirectoryPage();
    void ShowProgressPage();
    void StartInstallation();
    // The final pages of the installation that ran, from what it did.
    void ShowSuccessPage();
    void ShowFailurePage();
    void ShowCancelledPage();
    // The success page with report (what went where) under the success
    // text, and the notice that the launcher file unrecorded could not be
    // written when it is not empty.
    void ShowSuccessPage(const WideString& report, const WideString& unrecorded);
    // The failure and cancelled pages with the whole text given.
    void ShowFailurePage(const WideString& text);
    void ShowCancelledPage(const WideString& text);
    // A confirmed cancel or a failure: Cancel goes insensitive, the progress
    // page says that the template directory is being restored and its bar
    // counts back as the run is undone.
    void ShowRollingBack();
    void Finish();

    int GetExitStatus() const { return exitStatus_; }
    // The wizard's window while it exists, else null.
    GtkWidget* GetWindow() const { return window_; }

private:
    // detail: the secondary text (a silent run's directory problem), may be empty.
    void ShowPreparationError(const WideString& text, const WideString& detail);
    // Next, Back and Enter are ignored for a moment after a page change or a
    // message box, so that a double click or a held key cannot skip a page.
    void RestartInputGuard();
    bool InputGuardActive() const;
    // Keyboard focus to the page's first useful control, described by the
    // page's text for screen readers.
    void FocusPage(WizardDialogPage* page);
    void AcceptTargetDirectory();
    void AskCancelInstallation();
    // The failure or the cancelled page (made on first use) with text.
    void ShowUndonePage(std::unique_ptr<MessagePage>* page, const WideString& text);
    // After the installation loop: the page, box or exit for the outcome.
    void EndInstallation(InstallOutcome outcome);
    void RefreshProgress();
    // The progress page at 100 %, drawn and left for a moment, before the
    // success page takes its place.
    void ShowProgressComplete();
    // Let the page reach the screen and be read, while the toolkit goes on
    // handling events.
    void LingerOnPage(int milliseconds);
    // An interruption signal: a running installation is asked to roll back;
    // otherwise open dialogs are ended and then the window goes.
    void CheckInterruption();
    void OpenDescription();
    void DestroyWindow();
    void SetWindowSize(int width, int height);
    // The icon of the wizard and of every box shown before its window.
    void LoadIcon();
    static int OnWatchTimer(void* self);

    bool silent_;
    TemplateProposal proposal_;  // locations, flags and the proposed directory
    WideString targetDirectory_;
    WideString chosenTarget_;
    WideString kitFile_;
    std::vector<WideString> trustedKeys_;
    InstallLog* log_ = nullptr;
    WideString kitPath_;
    KitReader kitReader_;
    WideString languageCode_;
    WizardState state_ = WizardState::None;
    std::unique_ptr<MessagePage> welcomePage_;
    std::unique_ptr<DirSelectPage> directoryPage_;
    WizardDialogPage* currentPage_ = nullptr;
    std::unique_ptr<ProgressPage> progressPage_;
    std::unique_ptr<SuccessFinalPage> successPage_;
    std::unique_ptr<MessagePage> failurePage_;
    std::unique_ptr<MessagePage> cancelledPage_;
    bool useCurrentDirectory_;
    bool confirmCancel_ = true;
    bool installCancelRequested_ = false;
    int32_t rollbackFrom_ = -1;             // the bar's percent when the undo began; -1 while none runs
    GtkWidget* describedWidget_ = nullptr;  // carries the page's text as its description
    int32_t width_ = 500;
    int32_t height_ = 360;
    NarrowString title_;  // UTF-8
    GdkPixbuf* picture_ = nullptr;
    GdkPixbuf* icon_ = nullptr;
    GtkWidget* window_ = nullptr;
    GtkWidget* layout_ = nullptr;
    GtkWidget* separator_ = nullptr;
    GtkWidget* backButton_ = nullptr;
    GtkWidget* nextButton_ = nullptr;
    GtkWidget* cancelButton_ = nullptr;
    int exitStatus_ = kExitCancelled;
    long long inputGuardUntil_ = 0;  // monotonic microseconds
    unsigned int watchTimer_ = 0;  // GLib source of OnWatchTimer while the wizard runs
    // Last member: destroyed (and so its worker joined) before the kit.
    InstallSession session_;
};

}  // namespace tpl
