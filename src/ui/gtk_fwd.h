#pragma once
// Forward declarations of the toolkit types that the wizard's headers name,
// so that including them does not pull in the whole toolkit.
struct _GtkWidget;
typedef struct _GtkWidget GtkWidget;
struct _GdkPixbuf;
typedef struct _GdkPixbuf GdkPixbuf;
