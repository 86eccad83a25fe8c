// The window side of the wizard: construction, buttons, page switching,
// message boxes, cancel confirmation and key handling.
#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

#include "catalog/message_catalog.h"
#include "text/utf8.h"
#include "ui/images/icon.xpm.h"
#include "ui/images/welcome_picture.xpm.h"
#include "ui/accessible_name.h"
#include "ui/installer_dlg.h"
#include "ui/message_box.h"
#include "ui/message_page.h"
#include "ui/mnemonics.h"
#include "ui/open_dialogs.h"
#include "ui/dir_select_page.h"
#include "ui/progress_page.h"
#include "ui/success_page.h"
#include "ui/text_direction.h"
#include "ui/window_title.h"

namespace tpl {

namespace {

constexpr guint kEscapeKey = 0xFF1B;
// Long enough to swallow the second click of a double click and the repeats
// of a held key, short enough that a deliberate second press is not missed.
constexpr gint64 kInputGuardMicroseconds = 300 * 1000;
// A button is never smaller than this; a longer label makes it wider.
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 30;
// Between Next and Cancel; Back and Next touch.
constexpr int kButtonGap = 20;
constexpr int kSeparatorHeight = 5;
constexpr int kMinimumPageGap = 2;

GdkPixbuf* PixbufFromXpm(const char* const* xpm) {
    // The loader only reads the rows; its signature predates const.
    return gdk_pixbuf_new_from_xpm_data(const_cast<const char**>(xpm));
}

// The label with its mnemonic, and for screen readers the label without
// its arrows.
void LabelButton(GtkWidget* button, const char* textId) {
    gtk_button_set_use_underline(GTK_BUTTON(button), TRUE);
    gtk_button_set_label(GTK_BUTTON(button), WizardMnemonic(textId).label.c_str());
    atk_object_set_name(gtk_widget_get_accessible(button), PlainButtonName(MessageCatalog::GetUtf8(textId)).c_str());
}

GtkWidget* PutButton(GtkWidget* layout, const char* textId) {
    GtkWidget* button = gtk_button_new();
    LabelButton(button, textId);
    SetMinimumSize(button, kButtonWidth, kButtonHeight);
    // A click leaves the focus where the page put it (a swallowed second
    // click must not take it from the entry).
    gtk_button_set_focus_on_click(GTK_BUTTON(button), FALSE);
    gtk_fixed_put(GTK_FIXED(layout), button, 0, 0);
    return button;
}

GtkRequisition Requisition(GtkWidget* widget) {
    GtkRequisition requisition = {0, 0};
    gtk_widget_size_request(widget, &requisition);
    return requisition;
}

// The lowest edge of the widget's requested box in the layout.
int BottomInLayout(GtkWidget* layout, GtkWidget* widget) {
    gint y = 0;
    gtk_container_child_get(GTK_CONTAINER(layout), widget, "y", &y, nullptr);
    return y + Requisition(widget).height;
}

void OnBackClicked(GtkButton*, gpointer dlg) { static_cast<CInstallerDlg*>(dlg)->OnBack(); }
void OnNextClicked(GtkButton*, gpointer dlg) { static_cast<CInstallerDlg*>(dlg)->OnNext(); }
void OnCancelClicked(GtkButton*, gpointer dlg) { static_cast<CInstallerDlg*>(dlg)->OnCancel(); }

gboolean OnKeyPressEvent(GtkWidget*, GdkEventKey* event, gpointer dlg) {
    return static_cast<CInstallerDlg*>(dlg)->OnKeyPress(event->keyval) ? TRUE : FALSE;
}

gboolean OnDeleteWindow(GtkWidget*, GdkEvent*, gpointer dlg) {
    return static_cast<CInstallerDlg*>(dlg)->OnDeleteEvent() ? TRUE : FALSE;
}

}  // namespace

CInstallerDlg::CInstallerDlg(bool silent, const NarrowString& title, const WideString& languageCode,
                             bool useCurrentDirectory)
    : silent_(false), languageCode_(languageCode), useCurrentDirectory_(useCurrentDirectory), title_(title) {
    proposal_.alternativeProfilePresent = false;
    proposal_.listFromAlternativeProfile = false;
    silent_ = silent;
    // Before any window of the run: the unpacking window, the boxes and the
    // chooser follow the language shown, not the locale.
    UseDirectionOfCatalogTexts();
}

CInstallerDlg::~CInstallerDlg() {
    // A rollback must never be cut short by the process ending.
    session_.WaitForWorker();
    if (picture_) g_object_unref(picture_);
    if (icon_) g_object_unref(icon_);
}

WideString CInstallerDlg::GetTitle() const {
    return FromUtf8(title_.Data(), title_.Length());
}

void CInstallerDlg::LoadIcon() {
    if (icon_) return;
    icon_ = PixbufFromXpm(kIconXpm);
    // Error boxes before the window stand for the program in the taskbar.
    gtk_window_set_default_icon(icon_);
}

void CInstallerDlg::CreateWindow() {
    LoadIcon();
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* window = GTK_WINDOW(window_);
    // A wizard is a dialog to a screen reader, whatever hint the window
    // manager gets.
    atk_object_set_role(gtk_widget_get_accessible(window_), ATK_ROLE_DIALOG);
    gtk_window_set_position(window, GTK_WIN_POS_CENTER);
    gtk_window_set_modal(window, TRUE);
    gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_MENU);
    gtk_window_set_icon(window, icon_);

    layout_ = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(window_), layout_);
    g_signal_connect(window_, "destroy", G_CALLBACK(+[](GtkWidget*, gpointer dlg) {
        auto* self = static_cast<CInstallerDlg*>(dlg);
        self->window_ = nullptr;
        self->currentPage_ = nullptr;
        self->describedWidget_ = nullptr;
        if (gtk_main_level() > 0) gtk_main_quit();
    }), this);
    g_signal_connect(window_, "key_press_event", G_CALLBACK(OnKeyPressEvent), this);
    // While installing, a close request is a cancel request; see OnDeleteEvent.
    g_signal_connect(window_, "delete-event", G_CALLBACK(OnDeleteWindow), this);
    SetWindowTitle(window_, title_.Data());

    separator_ = gtk_hseparator_new();
    gtk_fixed_put(GTK_FIXED(layout_), separator_, kWizardMargin, 0);
    backButton_ = PutButton(layout_, "IDS_WIZARD_BACK");
    nextButton_ = PutButton(layout_, "IDS_WIZARD_NEXT");
    cancelButton_ = PutButton(layout_, "IDS_WIZARD_CANCEL");
    ArrangeWindow();
    gtk_widget_set_can_default(nextButton_, TRUE);
    gtk_widget_grab_default(nextButton_);

    g_signal_connect(backButton_, "clicked", G_CALLBACK(OnBackClicked), this);
    g_signal_connect(nextButton_, "clicked", G_CALLBACK(OnNextClicked), this);
    g_signal_connect(cancelButton_, "clicked", G_CALLBACK(OnCancelClicked), this);

    gtk_widget_show_all(layout_);
    picture_ = PixbufFromXpm(kWelcomePictureXpm);
    gtk_widget_show(window_);
}

void CInstallerDlg::ShowPage(WizardDialogPage* page) {
    if (currentPage_) {
        for (GtkWidget* widget : currentPage_->GetWidgets()) gtk_widget_hide(widget);
    }
    currentPage_ = page;
    if (!page) return;
    for (GtkWidget* widget : page->GetWidgets()) gtk_widget_show(widget);
    ArrangeWindow();
    page->OnActivate();
    RestartInputGuard();
    FocusPage(page);
}

void CInstallerDlg::RestartInputGuard() {
    inputGuardUntil_ = g_get_monotonic_time() + kInputGuardMicroseconds;
}

bool CInstallerDlg::InputGuardActive() const {
    return g_get_monotonic_time() < inputGuardUntil_;
}

void CInstallerDlg::FocusPage(WizardDialogPage* page) {
    // The page's own control, else Next (or Finish), else Cancel while
    // installing: the first that can be used.
    GtkWidget* focus = nullptr;
    for (GtkWidget* candidate : {page->FocusWidget(), nextButton_, cancelButton_}) {
        if (candidate && gtk_widget_get_visible(candidate) && gtk_widget_get_sensitive(candidate)) {
            focus = candidate;
            break;
        }
    }
    if (!focus) return;
    // The focused control carries the page's text as its description: a
    // screen reader reads it when the focus arrives, as it does for a dialog.
    // The control that carried an earlier page's text no longer does.
    if (describedWidget_ && describedWidget_ != focus)
        atk_object_set_description(gtk_widget_get_accessible(describedWidget_), "");
    describedWidget_ = nullptr;
    if (GtkWidget* text = page->TextWidget()) {
        atk_object_set_description(gtk_widget_get_accessible(focus),
                                   gtk_label_get_text(GTK_LABEL(text)));
        describedWidget_ = focus;
    }
    gtk_widget_grab_focus(focus);
}

void CInstallerDlg::ArrangeWindow() {
    // The button row, right-aligned: each button as wide as its label needs.
    const GtkRequisition back = Requisition(backButton_);
    const GtkRequisition next = Requisition(nextButton_);
    const GtkRequisition cancel = Requisition(cancelButton_);
    const int rowHeight = MAX(back.height, MAX(next.height, cancel.height));
    const int rowWidth = back.width + next.width + kButtonGap + cancel.width;

    // The page above it; at the default font it ends 305 pixels down and the
    // window keeps its 500 x 360.
    int pageBottom = 0;
    if (currentPage_) {
        for (GtkWidget* widget : currentPage_->GetWidgets())
            pageBottom = MAX(pageBottom, BottomInLayout(layout_, widget));
    }
    const int width = MAX(width_, rowWidth + 2 * kWizardMargin);
    // Page, gap, separator, gap, row, margin. The row keeps its place at the
    // foot of the window; the gap above the separator (5 pixels with the
    // default font) may shrink to 2 before the window grows, so that a
    // script with taller letters still fits into 500 x 360.
    const int height = MAX(height_, pageBottom + kMinimumPageGap + 2 * kSeparatorHeight + rowHeight + kWizardMargin);

    const int rowTop = height - kWizardMargin - rowHeight;
    const int cancelLeft = width - kWizardMargin - cancel.width;
    const int nextLeft = cancelLeft - kButtonGap - next.width;
    gtk_fixed_move(GTK_FIXED(layout_), cancelButton_, cancelLeft, rowTop);
    gtk_fixed_move(GTK_FIXED(layout_), nextButton_, nextLeft, rowTop);
    gtk_fixed_move(GTK_FIXED(layout_), backButton_, nextLeft - back.width, rowTop);
    gtk_widget_set_size_request(separator_, width - 2 * kWizardMargin, kSeparatorHeight);
    gtk_fixed_move(GTK_FIXED(layout_), separator_, kWizardMargin, rowTop - 2 * kSeparatorHeight);
    SetWindowSize(width, height);
}

void CInstallerDlg::SetWindowSize(int width, int height) {
    GdkGeometry hints = {};
    hints.min_width = hints.max_width = hints.base_width = width;
    hints.min_height = hints.max_height = hints.base_height = height;
    hints.win_gravity = GDK_GRAVITY_NORTH_WEST;
    gtk_window_set_geometry_hints(
        GTK_WINDOW(window_), nullptr, &hints,
        static_cast<GdkWindowHints>(GDK_HINT_MIN_SIZE | GDK_HINT_MAX_SIZE | GDK_HINT_BASE_SIZE));
    gtk_window_resize(GTK_WINDOW(window_), width, height);
}

void CInstallerDlg::SetFinishMode() {
    gtk_widget_set_sensitive(nextButton_, TRUE);
    gtk_widget_set_sensitive(cancelButton_, FALSE);
    gtk_widget_hide(backButton_);
    gtk_widget_show(nextButton_);
    LabelButton(nextButton_, "IDS_WIZARD_FINISH");
    gtk_widget_set_can_default(nextButton_, TRUE);
    gtk_widget_grab_default(nextButton_);
    ArrangeWindow();
}

int32_t CInstallerDlg::MessageBox(const CWnd* owner, const WideString& text, uint32_t flags,
                                  const WideString& detail) {
    const NarrowString title = owner ? ToUtf8(owner->GetTitle()) : NarrowString();
    // Owned by the wizard's window, so that it stays above it, is centred on
    // it and goes with it; before the window exists, centred on the screen.
    GtkWidget* box = CreateMessageBox(ToUtf8(text).Data(), flags, owner ? title.Data() : nullptr, window_,
                                      detail.Empty() ? nullptr : ToUtf8(detail).Data());
    gint response = GTK_RESPONSE_NONE;
    {
        OpenDialogScope open(box);
        response = gtk_dialog_run(GTK_DIALOG(box));
    }
    gtk_widget_destroy(box);
    // The key that closed the box must not go on to act on the page.
    RestartInputGuard();
    switch (response) {
        case GTK_RESPONSE_YES: return kMessageBoxResultYes;
        case GTK_RESPONSE_NO: return kMessageBoxResultNo;
        case GTK_RESPONSE_OK: return kMessageBoxResultOk;
        default: return kMessageBoxResultNone;
    }
}

void CInstallerDlg::RequestCancel() {
    if (confirmCancel_ &&
        MessageBox(this, MessageCatalog::GetText("IDS_ACCEPT_CANCEL"), kMessageBoxQuestionYesNo) !=
            kMessageBoxResultYes) {
        return;
    }
    DestroyWindow();
}

void CInstallerDlg::OnCancel() {
    if (state_ != WizardState::Installing) {
        RequestCancel();
        return;
    }
    // Once asked, the worker is rolling back; asking again would change nothing.
    if (installCancelRequested_) return;
    AskCancelInstallation();
}

void CInstallerDlg::AskCancelInstallation() {
    // The worker holds between two entries while the user decides, so that
    // the answer is about the installation as the user saw it.
    session_.SetPaused(true);
    const int32_t answer =
        MessageBox(this, MessageCatalog::GetText("IDS_ACCEPT_CANCEL"), kMessageBoxQuestionYesNo);
    // It may still have ended meanwhile: the last entry was being written.
    if (answer == kMessageBoxResultYes && state_ == WizardState::Installing) {
        installCancelRequested_ = true;
        // Asked before the worker resumes, so it does not begin another entry.
        session_.RequestCancel();
        ShowRollingBack();
    }
    session_.SetPaused(false);
}

void CInstallerDlg::ShowRollingBack() {
    gtk_widget_set_sensitive(cancelButton_, FALSE);
    if (rollbackFrom_ < 0) rollbackFrom_ = session_.Percent();
    if (progressPage_) progressPage_->ShowRollback();
    // The control that carries the page's text must not go on saying
    // that files are being copied.
    if (describedWidget_ && currentPage_ && currentPage_->TextWidget())
        atk_object_set_description(gtk_widget_get_accessible(describedWidget_),
                                   gtk_label_get_text(GTK_LABEL(currentPage_->TextWidget())));
}

bool CInstallerDlg::OnKeyPress(unsigned int keyValue) {
    // Enter, whichever control has the focus, waits out a page change too.
    if (keyValue == GDK_KEY_Return || keyValue == GDK_KEY_KP_Enter || keyValue == GDK_KEY_ISO_Enter)
        return InputGuardActive();
    if (keyValue != kEscapeKey) return false;
    OnCancel();
    return true;
}

bool CInstallerDlg::OnDeleteEvent() {
    // Destroying the window mid-installation would pull the progress page
    // from under the watching loop; treat the request as Cancel instead.
    if (state_ != WizardState::Installing) return false;
    OnCancel();
    return true;
}

void CInstallerDlg::DestroyWindow() {
    if (window_) gtk_widget_destroy(window_);
}

}  // namespace tpl
