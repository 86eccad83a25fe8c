// The page sequence of the wizard: preparation, welcome and directory pages,
// Next, Back and Finish.
#include <gtk/gtk.h>

#include "catalog/message_catalog.h"
#include "fs/file_finder.h"
#include "fs/run_program.h"
#include "session/install_log.h"
#include "session/install_preparation.h"
#include "session/preparation_context.h"
#include "session/target_directory.h"
#include "text/path_bytes.h"
#include "text/text_helpers.h"
#include "ui/dir_select_page.h"
#include "ui/installer_dlg.h"
#include "ui/message_box.h"
#include "ui/message_page.h"
#include "ui/success_page.h"
#include "ui/unpacking_window.h"

namespace tpl {

namespace {
// Wakes the toolkit's loops (the watching loop and any dialog's nested loop)
// so that the progress bar follows the worker and an interruption signal is
// noticed even when the window receives no events.
constexpr guint kWatchIntervalMs = 50;
}  // namespace

void CInstallerDlg::RunWizard() {
    watchTimer_ = g_timeout_add(kWatchIntervalMs, OnWatchTimer, this);
    LoadIcon();
    if (Prepare()) {
        CreateWindow();
        ShowWelcomePage();
        if (silent_) {
            StartInstallation();
            // Let the final page reach the screen while the worker winds down.
            while (gtk_events_pending()) gtk_main_iteration();
        } else {
            gtk_main();
        }
    }
    g_source_remove(watchTimer_);
    watchTimer_ = 0;
}

void CInstallerDlg::ShowPreparationError(const WideString& text, const WideString& detail) {
    MessageBox(this, text, kMessageBoxErrorOk, detail);
}

bool CInstallerDlg::Prepare() {
    PreparedInstallation prepared;
    PreparationResult result;
    {
        // Gone before an error box or the wizard's window appears.
        UnpackingWindow unpacking(title_);
        result = PrepareInstallation(useCurrentDirectory_, silent_, &kitReader_, &prepared, &unpacking,
                                     chosenTarget_, kitFile_, trustedKeys_);
    }
    if (log_) log_->Prepared(result, prepared, kitReader_);
    kitPath_ = prepared.kitPath;
    proposal_ = prepared.proposal;
    targetDirectory_ = prepared.targetDirectory;
    if (result.interrupted) {
        exitStatus_ = kExitCancelled;
        return false;
    }
    if (result.errorTextId != nullptr) {
        exitStatus_ = kExitFailed;
        // A directory problem names its place; a missing kit or too little
        // space says where to look.
        const WideString detail = result.errorDetail.Empty()
                                      ? PreparationErrorContext(result.errorTextId, prepared.kitPath)
                                      : result.errorDetail;
        ShowPreparationError(PreparationErrorText(result), detail);
        return false;
    }
    return true;
}

void CInstallerDlg::ShowWelcomePage() {
    WideString product;
    WideString vendor;
    kitReader_.GetProductTexts(languageCode_, &product, &vendor);
    if (product.Empty()) product = MessageCatalog::GetText("IDS_DEFPRODUCT");
    if (vendor.Empty()) vendor = MessageCatalog::GetText("IDS_DEFPROVIDER");
    WideString text = MessageCatalog::GetText("IDS_WELCOME_TITLE");
    text += u" ";
    text += product;
    text += u" (";
    text += vendor;
    text += u").";
    if (!welcomePage_) welcomePage_ = std::make_unique<MessagePage>(layout_, picture_, text);
    if (silent_) {
        gtk_widget_hide(backButton_);
        gtk_widget_hide(nextButton_);
    } else {
        gtk_widget_set_sensitive(backButton_, FALSE);
    }
    state_ = WizardState::Welcome;
    ShowPage(welcomePage_.get());
}

void CInstallerDlg::ShowDirectoryPage() {
    state_ = WizardState::ChooseDirectory;
    if (!directoryPage_) directoryPage_ = std::make_unique<DirSelectPage>(layout_, picture_);
    directoryPage_->SetPath(targetDirectory_);
    gtk_widget_set_sensitive(backButton_, TRUE);
    gtk_widget_set_sensitive(nextButton_, TRUE);
    ShowPage(directoryPage_.get());
}

void CInstallerDlg::OnNext() {
    if (InputGuardActive()) return;
    switch (state_) {
        case WizardState::Welcome:
            ShowDirectoryPage();
            break;
        case WizardState::ChooseDirectory:
            AcceptTargetDirectory();
            break;
        case WizardState::Succeeded:
        case WizardState::Failed:
            Finish();
            break;
        case WizardState::Installing:
        case WizardState::None:
            break;
    }
}

void CInstallerDlg::AcceptTargetDirectory() {
    const TargetCheck check = CheckTargetDirectory(directoryPage_->GetPath());
    if (check.Ok()) {
        // Installed into, and recorded, as the absolute directory it is.
        targetDirectory_ = check.directory;
        StartInstallation();
        return;
    }
    const uint32_t kind = check.problem == TargetProblem::Empty ? kMessageBoxPlainOk : kMessageBoxErrorOk;
    MessageBox(this, TargetProblemText(check), kind, TargetProblemDetail(check));
    // The page stays with the user's text, ready to be corrected.
    if (window_ && state_ == WizardState::ChooseDirectory) FocusPage(directoryPage_.get());
}

void CInstallerDlg::OnBack() {
    if (InputGuardActive()) return;
    if (state_ == WizardState::ChooseDirectory) ShowWelcomePage();
}

void CInstallerDlg::Finish() {
    if (state_ == WizardState::Succeeded) OpenDescription();
    DestroyWindow();
}

void CInstallerDlg::OpenDescription() {
    if (!successPage_ || !successPage_->IsOpenDescriptionChecked()) return;
    WideString description = kitReader_.GetDescriptionPath(languageCode_);
    // Without a description the path would name the template directory itself.
    if (description.Empty()) return;
    WideString path = targetDirectory_ + description;
    ReplaceAll(path, u"\\", u"/");
    if (!PathExists(path)) return;
    NarrowString argument = PathToBytes(path);
    // A relative path beginning with "-" must not read as an option.
    if (argument.Length() > 0 && argument[0] == '-') argument = NarrowString("./") + argument;
    // The viewer may take its time; the window should not sit there frozen.
    gtk_widget_hide(window_);
    gdk_flush();
    RunProgramAndWait({NarrowString("xdg-open"), argument}, true);
}

}  // namespace tpl
