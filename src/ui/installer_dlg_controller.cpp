// The page sequence of the wizard: preparation, welcome and directory pages,
// Next, Back and Finish.
#include <gtk/gtk.h>

#include "app/catalog/message_catalog.h"
#include "fs/dir_ops.h"
#include "fs/file_io.h"
#include "text/convert.h"
#include "text/text_helpers.h"
#include "ui/dir_select_page.h"
#include "ui/installer_dlg.h"
#include "ui/message_box.h"
#include "ui/message_page.h"
#include "ui/success_page.h"

void CInstallerDlg::RunWizard() {
    if (!Prepare()) {
        exitStatus_ = kExitFailed;
        return;
    }
    // Unattended, an empty proposal would install into the current directory.
    if (silent_ && targetDirectory_.Empty()) {
        MessageBox(this, MessageCatalog::GetText("IDS_SETUP_EMPTYTARGET"), kMessageBoxErrorOk);
        exitStatus_ = kExitFailed;
        return;
    }
    CreateWindow();
    ShowWelcomePage();
    if (silent_) {
        StartInstallation();
        // Let the final page reach the screen while the worker winds down.
        while (gtk_events_pending()) gtk_main_iteration();
        return;
    }
    gtk_main();
}

void CInstallerDlg::ShowPreparationError(const char* textId) {
    MessageBox(this, MessageCatalog::GetText(textId), kMessageBoxErrorOk);
}

bool CInstallerDlg::Prepare() {
    kitPath_ = LocateKitFile(useCurrentDirectory_);
    FileFinder finder;
    if (kitPath_.Empty() || !finder.FindFirst(kitPath_)) {
        ShowPreparationError("IDS_ERROR_NOSOURCE");
        return false;
    }
    finder.FindClose();

    proposal_ = ProposeTemplateDirectory();
    targetDirectory_ = CleanProposedDirectory(proposal_.directory);

    uint32_t kitSize = 0;
    uint32_t freeSpace = 0;
    // Three times the kit, counted in 64 bits so a large kit cannot wrap round.
    if (GetFileSizeByPath(kitPath_, &kitSize) == 0 && GetFreeSpace(&freeSpace) == 0 &&
        uint64_t{kitSize} * 3 > uint64_t{freeSpace}) {
        ShowPreparationError("IDS_ERROR_NOSPACE");
        return false;
    }
    if (kitReader_.Load(kitPath_) != 0) {
        ShowPreparationError("IDS_ERROR_DAMAGEDSOURCE");
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
    switch (state_) {
        case WizardState::Welcome:
            ShowDirectoryPage();
            break;
        case WizardState::ChooseDirectory: {
            WideString path = directoryPage_->GetPath();
            ReplaceAll(path, u"\\", u"/");
            if (path.Empty()) {
                MessageBox(this, MessageCatalog::GetText("IDS_SETUP_EMPTYTARGET"), kMessageBoxPlainOk);
                break;
            }
            targetDirectory_ = path;
            StartInstallation();
            break;
        }
        case WizardState::Succeeded:
        case WizardState::Failed:
            Finish();
            break;
        case WizardState::Installing:
        case WizardState::None:
            break;
    }
}

void CInstallerDlg::OnBack() {
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
    NarrowString argument = ToNarrow(path);
    // A relative path beginning with "-" must not read as an option.
    if (argument.Length() > 0 && argument[0] == '-') argument = NarrowString("./") + argument;
    // The viewer may take its time; the window should not sit there frozen.
    gtk_widget_hide(window_);
    gdk_flush();
    RunShellCommand({NarrowString("xdg-open"), argument}, true);
}
