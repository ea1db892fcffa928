#include "desktop/signal_watcher.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace velkora {
namespace {

int signalPipe[2] = {-1, -1};
struct sigaction previousTerm {};
struct sigaction previousInt {};
struct sigaction previousHup {};

// Only async-signal-safe work here: one byte into the pipe.
void onUnixSignal(int) {
  const char byte = 1;
  const ssize_t written = ::write(signalPipe[1], &byte, 1);
  (void)written;
}

}  // namespace

SignalWatcher::SignalWatcher(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
  if (signalPipe[0] >= 0) return;  // one watcher per program
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0) {
    signalPipe[0] = signalPipe[1] = -1;
    return;
  }
  notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char buffer[16];
    while (::read(signalPipe[0], buffer, sizeof buffer) > 0) {
    }
    if (onSignal_) onSignal_();
  });
  struct sigaction action {};
  action.sa_handler = onUnixSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, &previousTerm);
  ::sigaction(SIGINT, &action, &previousInt);
  // The terminal or the session that started the program went away: ended as by SIGTERM.
  ::sigaction(SIGHUP, &action, &previousHup);
}

SignalWatcher::~SignalWatcher() {
  if (notifier_ == nullptr) return;
  ::sigaction(SIGTERM, &previousTerm, nullptr);
  ::sigaction(SIGINT, &previousInt, nullptr);
  ::sigaction(SIGHUP, &previousHup, nullptr);
  delete notifier_;
  notifier_ = nullptr;
  ::close(signalPipe[0]);
  ::close(signalPipe[1]);
  signalPipe[0] = signalPipe[1] = -1;
}

}  // namespace velkora
