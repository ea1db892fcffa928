#pragma once
// SIGTERM, SIGINT and SIGHUP end the program the normal way: the signal is turned into a call on the
// event loop, where the program keeps what it must (a running test's take, the configuration) and
// quits.

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace velkora {

class SignalWatcher final : public QObject {
  Q_OBJECT

 public:
  explicit SignalWatcher(std::function<void()> onSignal, QObject* parent = nullptr);
  ~SignalWatcher() override;

  bool active() const { return notifier_ != nullptr; }

 private:
  std::function<void()> onSignal_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace velkora
