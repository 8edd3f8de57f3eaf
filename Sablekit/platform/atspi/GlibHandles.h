// Owning handles for the GLib objects the AT-SPI backend keeps: each unrefs
// or frees what it holds when it goes, so no early return leaks one.
#pragma once

#include <memory>

#include <gio/gio.h>

namespace Sablekit {

struct GObjectUnref {
  void operator()(gpointer object) const noexcept { g_object_unref(object); }
};
struct GVariantUnref {
  void operator()(GVariant* variant) const noexcept { g_variant_unref(variant); }
};
struct GErrorFree {
  void operator()(GError* error) const noexcept { g_error_free(error); }
};
struct GMainContextUnref {
  void operator()(GMainContext* context) const noexcept { g_main_context_unref(context); }
};
struct GMainLoopUnref {
  void operator()(GMainLoop* loop) const noexcept { g_main_loop_unref(loop); }
};

using GDBusConnectionHandle = std::unique_ptr<GDBusConnection, GObjectUnref>;
using GVariantHandle = std::unique_ptr<GVariant, GVariantUnref>;
using GErrorHandle = std::unique_ptr<GError, GErrorFree>;
using GMainContextHandle = std::unique_ptr<GMainContext, GMainContextUnref>;
using GMainLoopHandle = std::unique_ptr<GMainLoop, GMainLoopUnref>;

// A shared connection: the caller's own reference.
inline GDBusConnectionHandle referenced(GDBusConnection* connection) {
  return GDBusConnectionHandle(connection == nullptr ? nullptr : G_DBUS_CONNECTION(g_object_ref(connection)));
}

}  // namespace Sablekit
