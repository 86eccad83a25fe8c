#pragma once

// Forward declarations of the toolkit types that the wizard's headers name,
// so that including them does not pull in the whole toolkit. They are the
// toolkit's own, so they stay outside the project's namespace.
struct _GtkWidget;
typedef struct _GtkWidget GtkWidget;
struct _GdkPixbuf;
typedef struct _GdkPixbuf GdkPixbuf;
