#pragma once

// The UI-thread bridge on Qt: calls from other threads are queued to an object that lives on the
// thread that created it (the GUI thread).

#include "base/ui_bridge.h"

#include <QObject>

namespace sornafex {

class TQtUiBridge final : public QObject, public TUiBridge {
    Q_OBJECT
public:
    explicit TQtUiBridge(QObject* parent = nullptr);

    void RunOnUiThread(const std::function<void()>& call) override;
    void Post(std::function<void()> call) override;
    void ProcessMessages() override;
    bool IsUiThread() const override;
};

} // namespace sornafex
