// The watched installation: the job is handed to the worker and the progress
// page follows the status block until a final state arrives.
#include <gtk/gtk.h>

#include "app/catalog/message_catalog.h"
#include "fs/file_types.h"
#include "ui/installer_dlg.h"
#include "ui/message_box.h"
#include "ui/message_page.h"
#include "ui/progress_page.h"
#include "ui/success_page.h"

namespace {
// Wakes the watching loop (and any message box's nested loop) so the bar
// follows the worker even when the window receives no events.
constexpr guint kProgressIntervalMs = 50;
}  // namespace

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

int CInstallerDlg::OnProgressTimer(void* self) {
    static_cast<CInstallerDlg*>(self)->RefreshProgress();
    return TRUE;
}

void CInstallerDlg::RefreshProgress() {
    if (state_ != WizardState::Installing || !progressPage_) return;
    uint32_t code = 0;
    WideString text;
    int32_t percent = 0;
    status_.ReadStatus(&code, &text, &percent);
    progressPage_->SetPercent(percent);
}

void CInstallerDlg::WatchInstallation() {
    guint timer = g_timeout_add(kProgressIntervalMs, OnProgressTimer, this);
    for (;;) {
        uint32_t code = 0;
        WideString text;
        int32_t percent = 0;
        status_.ReadStatus(&code, &text, &percent);
        progressPage_->SetPercent(percent);
        gtk_main_iteration();
        if (code == ERROR_CANCELLED) {
            g_source_remove(timer);
            ShowCancelledPage();
            return;
        }
        if (code != 0) {
            g_source_remove(timer);
            MessageBox(this, text, kMessageBoxErrorOk);
            ShowFailurePage();
            return;
        }
        if (percent > 99) {
            g_source_remove(timer);
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
