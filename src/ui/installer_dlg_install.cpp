// The watched installation: the job is handed to the worker and the progress
// page follows the status block until a final state arrives.
#include <gtk/gtk.h>

#include "catalog/message_catalog.h"
#include "fs/file_types.h"
#include "fs/interruption.h"
#include "ui/installer_dlg.h"
#include "ui/message_box.h"
#include "ui/message_page.h"
#include "ui/open_dialogs.h"
#include "ui/progress_page.h"
#include "ui/success_page.h"

void CInstallerDlg::StartInstallation() {
    if (!progressPage_) progressPage_ = std::make_unique<ProgressPage>(layout_, width_ - 20);
    gtk_widget_set_sensitive(backButton_, FALSE);
    gtk_widget_set_sensitive(nextButton_, FALSE);
    status_.PostJob(&kitReader_, targetDirectory_);
    ShowPage(progressPage_.get());
    state_ = WizardState::Installing;
    worker_.Start(&status_, 1000);
    if (worker_.StartResult() != 0) {
        // No worker will ever post a final state: report the failure ourselves.
        status_.PostStatus(ERROR_INVALID_PARAMETER, MessageCatalog::GetText("IDS_INSTALL_ERROR"), 0);
    }
    WatchInstallation();
}

int CInstallerDlg::OnWatchTimer(void* self) {
    auto* dialog = static_cast<CInstallerDlg*>(self);
    dialog->RefreshProgress();
    dialog->CheckInterruption();
    return TRUE;
}

void CInstallerDlg::RefreshProgress() {
    if (state_ != WizardState::Installing || !progressPage_ || !window_) return;
    uint32_t code = 0;
    WideString text;
    int32_t percent = 0;
    status_.ReadStatus(&code, &text, &percent);
    progressPage_->SetPercent(percent);
}

void CInstallerDlg::CheckInterruption() {
    if (!InterruptionRequested()) return;
    // The engine watches the signal itself; the request makes sure of it.
    if (state_ == WizardState::Installing) status_.RequestCancel();
    // Code after a dialog's run may still use the window: end the dialogs
    // first and take the window down on a later tick.
    if (CloseOpenDialogs()) return;
    if (state_ != WizardState::Installing) DestroyWindow();
}

void CInstallerDlg::WatchInstallation() {
    for (;;) {
        uint32_t code = 0;
        WideString text;
        int32_t percent = 0;
        status_.ReadStatus(&code, &text, &percent);
        progressPage_->SetPercent(percent);
        gtk_main_iteration();
        switch (OutcomeOfStatus(code, percent)) {
            case InstallOutcome::Running:
                continue;
            case InstallOutcome::Cancelled:
                if (InterruptionRequested()) {
                    // Rolled back because the session is ending: leave at
                    // once, without a page that waits for input.
                    state_ = WizardState::Failed;
                    exitStatus_ = kExitCancelled;
                    DestroyWindow();
                } else {
                    ShowCancelledPage();
                }
                return;
            case InstallOutcome::Failed:
                MessageBox(this, text, kMessageBoxErrorOk);
                ShowFailurePage();
                return;
            case InstallOutcome::Succeeded:
                ShowSuccessPage();
                RecordInstalledDirectory(targetDirectory_, proposal_);
                return;
        }
    }
}

void CInstallerDlg::ShowSuccessPage() {
    state_ = WizardState::Succeeded;
    exitStatus_ = kExitInstalled;
    if (!successPage_) {
        successPage_ = std::make_unique<SuccessFinalPage>(
            layout_, picture_, MessageCatalog::GetText("IDS_SUCCESS_FINISH"));
    }
    SetFinishMode();
    ShowPage(successPage_.get());
}

void CInstallerDlg::ShowFailurePage() {
    if (!failurePage_) {
        failurePage_ = std::make_unique<MessagePage>(layout_, picture_,
                                                     MessageCatalog::GetText("IDS_ERROR_FINISH"));
    }
    state_ = WizardState::Failed;
    exitStatus_ = kExitFailed;
    SetFinishMode();
    ShowPage(failurePage_.get());
}

void CInstallerDlg::ShowCancelledPage() {
    if (!cancelledPage_) {
        cancelledPage_ = std::make_unique<MessagePage>(layout_, picture_,
                                                       MessageCatalog::GetText("IDS_CANCEL_FINISH"));
    }
    // A final page like the failure page: Finish ends the program, nothing opens.
    state_ = WizardState::Failed;
    exitStatus_ = kExitCancelled;
    SetFinishMode();
    ShowPage(cancelledPage_.get());
}
