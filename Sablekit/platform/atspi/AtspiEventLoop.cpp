// A GLib main loop as the observer thread's event loop.
#include "Sablekit/platform/atspi/AtspiEventLoop.h"

#include <utility>

#include "Sablekit/platform/atspi/AtspiObserver.h"

namespace Sablekit {

namespace {

// Runs `callback` with `data` once on `context`, at default priority so that
// blocks and signal deliveries keep their order.
void schedule(GMainContext* context, GSourceFunc callback, gpointer data) {
  GSource* source = g_idle_source_new();
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_set_callback(source, callback, data, nullptr);
  g_source_attach(source, context);
  g_source_unref(source);
}

}  // namespace

AtspiEventLoop::AtspiEventLoop(AtspiConnection& connection)
    : connection_(connection), context_(g_main_context_new()), loop_(g_main_loop_new(context_.get(), FALSE)) {}

AtspiEventLoop::~AtspiEventLoop() {
  // Sources still queued refer to this loop.
  GSource* source = nullptr;
  while ((source = g_main_context_find_source_by_user_data(context_.get(), this)) != nullptr) {
    g_source_destroy(source);
  }
}

void AtspiEventLoop::run() {
  {
    const std::lock_guard guard(mutex_);
    if (stopped_) {
      blocks_.clear();
      return;
    }
  }
  g_main_context_push_thread_default(context_.get());
  g_main_loop_run(loop_.get());
  g_main_context_pop_thread_default(context_.get());
  const std::lock_guard guard(mutex_);
  blocks_.clear();
}

void AtspiEventLoop::perform(std::function<void()> block) {
  const std::lock_guard guard(mutex_);
  if (stopped_) {
    return;
  }
  blocks_.push_back(std::move(block));
  if (!drainScheduled_) {
    drainScheduled_ = true;
    schedule(context_.get(), &AtspiEventLoop::drain, this);
  }
}

gboolean AtspiEventLoop::drain(gpointer self) {
  auto* loop = static_cast<AtspiEventLoop*>(self);
  // One block per dispatch, so a delivery queued meanwhile may run in
  // between, in arrival order.
  std::function<void()> block;
  {
    const std::lock_guard guard(loop->mutex_);
    if (loop->stopped_ || loop->blocks_.empty()) {
      loop->drainScheduled_ = false;
      return G_SOURCE_REMOVE;
    }
    block = std::move(loop->blocks_.front());
    loop->blocks_.pop_front();
  }
  block();
  const std::lock_guard guard(loop->mutex_);
  if (loop->stopped_ || loop->blocks_.empty()) {
    loop->drainScheduled_ = false;
    return G_SOURCE_REMOVE;
  }
  return G_SOURCE_CONTINUE;
}

gboolean AtspiEventLoop::quit(gpointer self) {
  g_main_loop_quit(static_cast<AtspiEventLoop*>(self)->loop_.get());
  return G_SOURCE_REMOVE;
}

void AtspiEventLoop::stop() {
  {
    const std::lock_guard guard(mutex_);
    stopped_ = true;
  }
  g_main_loop_quit(loop_.get());
  // A loop that has not started yet quits on its first iteration.
  schedule(context_.get(), &AtspiEventLoop::quit, this);
}

void AtspiEventLoop::attach(const std::shared_ptr<AccessibilityObserver>& observer) {
  auto* atspi = dynamic_cast<AtspiObserver*>(observer.get());
  if (atspi == nullptr) {
    return;
  }
  const GDBusConnectionHandle bus = connection_.bus();
  atspi->attach(bus.get(), context_.get());
}

void AtspiEventLoop::detach(const std::shared_ptr<AccessibilityObserver>& observer) {
  if (auto* atspi = dynamic_cast<AtspiObserver*>(observer.get())) {
    atspi->detach();
  }
}

}  // namespace Sablekit
