// The watched installation: the job is handed to the worker and the progress
// page follows the status block until a final state arrives.
#include <gtk/gtk.h>

#include "catalog/message_catalog.h"
#include "fs/interruption.h"
#include "ui/installer_dlg.h"
#include "ui/message_box.h"
#include "ui/message_page.h"
#include "ui/open_dialogs.h"
#include "ui/progress_page.h"
#include "ui/success_page.h"

namespace tpl {

void CInstallerDlg::ShowProgressPage() {
    if (!progressPage_) progressPage_ = std::make_unique<ProgressPage>(layout_, width_ - 2 * kWizardMargin);
    gtk_widget_set_sensitive(backButton_, FALSE);
    gtk_widget_set_sensitive(nextButton_, FALSE);
    ShowPage(progressPage_.get());
}

void CInstallerDlg::StartInstallation() {
    ShowProgressPage();
    state_ = WizardState::Installing;
    session_.Start(&kitReader_, targetDirectory_, 1000);
    // The wizard's own loop: one main-loop iteration per poll, so the window
    // stays drawn and Cancel keeps working while the worker copies.
    for (;;) {
        const InstallOutcome outcome = session_.Poll();
        // The page follows on the watch timer only: updating it on every
        // pass would keep a redraw pending at all times and starve the
        // toolkit's idle work (the accessibility layer's focus news among it).
        gtk_main_iteration();
        if (outcome == InstallOutcome::Running) continue;
        if (outcome == InstallOutcome::Succeeded) ShowProgressComplete();
        EndInstallation(outcome);
        return;
    }
}

void CInstallerDlg::EndInstallation(InstallOutcome outcome) {
    // Recorded before the page, so that the success page can tell when the
    // directory could not be recorded.
    exitStatus_ = session_.Conclude(outcome, proposal_);
    switch (outcome) {
        case InstallOutcome::Running:
            return;
        case InstallOutcome::Cancelled:
            if (InterruptionRequested()) {
                // Rolled back because the session is ending: leave at
                // once, without a page that waits for input.
                state_ = WizardState::Failed;
                DestroyWindow();
            } else {
                ShowCancelledPage();
            }
            break;
        case InstallOutcome::Failed:
            // The failure is posted before the undo: the bar counts back
            // behind the box, and the page follows once the undo has ended.
            ShowRollingBack();
            MessageBox(this, session_.Text(), kMessageBoxErrorOk, session_.FailureDetail());
            session_.WaitForWorker();
            ShowFailurePage();
            break;
        case InstallOutcome::Succeeded:
            ShowSuccessPage();
            break;
    }
}

int CInstallerDlg::OnWatchTimer(void* self) {
    auto* dialog = static_cast<CInstallerDlg*>(self);
    dialog->RefreshProgress();
    dialog->CheckInterruption();
    return TRUE;
}

void CInstallerDlg::RefreshProgress() {
    if (state_ != WizardState::Installing || !progressPage_ || !window_) return;
    const InstallOutcome outcome = session_.Poll();
    // A cancel the user did not ask for here (a signal) rolls back too: the
    // bar counts back from its first undo step, and the page says so.
    if (rollbackFrom_ < 0 && session_.CancelRequested() && outcome == InstallOutcome::Running) ShowRollingBack();
    if (rollbackFrom_ >= 0) {
        progressPage_->SetPercent(session_.RollbackPercent(rollbackFrom_));
        return;
    }
    progressPage_->SetPercent(session_.Percent());
    // While running, the worker's text is the destination it is at.
    if (outcome == InstallOutcome::Running) progressPage_->SetCurrentFile(session_.Text());
}

void CInstallerDlg::ShowProgressComplete() {
    if (!progressPage_ || !window_) return;
    // Nothing is left to cancel: a cancel now would only ask a question
    // about an installation that has ended.
    installCancelRequested_ = true;
    gtk_widget_set_sensitive(cancelButton_, FALSE);
    progressPage_->SetPercent(100);
    progressPage_->ShowLastFile();
    // Long enough to be seen and read out, short enough not to hold anyone up.
    constexpr int kCompleteShownMs = 300;
    LingerOnPage(kCompleteShownMs);
}

void CInstallerDlg::LingerOnPage(int milliseconds) {
    gdk_window_process_all_updates();
    gdk_flush();
    const gint64 until = g_get_monotonic_time() + gint64{milliseconds} * 1000;
    // The watch timer wakes the loop, so each pass returns within its interval.
    while (window_ && g_get_monotonic_time() < until && !InterruptionRequested()) gtk_main_iteration();
}

void CInstallerDlg::CheckInterruption() {
    if (!InterruptionRequested()) return;
    // The engine watches the signal itself; the request makes sure of it.
    if (state_ == WizardState::Installing) session_.RequestCancel();
    // Code after a dialog's run may still use the window: end the dialogs
    // first and take the window down on a later tick.
    if (CloseOpenDialogs()) return;
    if (state_ != WizardState::Installing) DestroyWindow();
}

void CInstallerDlg::ShowSuccessPage() {
    ShowSuccessPage(SuccessReport(session_.Summary(), targetDirectory_), session_.UnrecordedLauncherFile());
}

void CInstallerDlg::ShowFailurePage() {
    ShowFailurePage(UndoneReport(session_.Summary(), targetDirectory_, "IDS_ERROR_FINISH", session_.Text(),
                                 session_.FailureDetail()));
}

void CInstallerDlg::ShowCancelledPage() {
    session_.WaitForWorker();
    ShowCancelledPage(
        UndoneReport(session_.Summary(), targetDirectory_, "IDS_CANCEL_FINISH", WideString(), WideString()));
}

void CInstallerDlg::ShowSuccessPage(const WideString& report, const WideString& unrecorded) {
    state_ = WizardState::Succeeded;
    WideString text = MessageCatalog::GetText("IDS_SUCCESS_FINISH");
    if (!report.Empty()) {
        text += u"\n\n";
        text += report;
    }
    if (!unrecorded.Empty()) {
        // The templates are in place; the launcher will not look there.
        text += u"\n\n";
        text += MessageCatalog::GetText("IDS_ERROR_NOTRECORDED");
        text += u"\n";
        text += unrecorded;
    }
    if (!successPage_) {
        successPage_ = std::make_unique<SuccessFinalPage>(layout_, picture_, text);
    } else {
        successPage_->SetText(text);
    }
    SetFinishMode();
    ShowPage(successPage_.get());
}

void CInstallerDlg::ShowFailurePage(const WideString& text) {
    ShowUndonePage(&failurePage_, text);
}

void CInstallerDlg::ShowCancelledPage(const WideString& text) {
    ShowUndonePage(&cancelledPage_, text);
}

void CInstallerDlg::ShowUndonePage(std::unique_ptr<MessagePage>* page, const WideString& text) {
    if (!*page) {
        *page = std::make_unique<MessagePage>(layout_, picture_, text);
    } else {
        (*page)->SetText(text);
    }
    // Finish ends the program; nothing opens.
    state_ = WizardState::Failed;
    SetFinishMode();
    ShowPage(page->get());
}

}  // namespace tpl
