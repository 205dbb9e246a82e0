#include "acquisition/worker_thread.h"

#include "base/errors.h"
#include "base/ui_bridge.h"
#include "base/ui_services.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace sornafex {

namespace {

// The program file's name, as the error box names the module the error came from.
std::string ModuleName() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("?") : exe.filename().string();
}

std::string AddressText(const void* address) {
    char text[2 * sizeof(void*) + 1];
    std::snprintf(text, sizeof text, "%0*llX", static_cast<int>(2 * sizeof(void*)),
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(address)));
    return text;
}

// Fills the %s and %p directives of format in order.
std::string FillDirectives(std::string_view format, std::initializer_list<std::string_view> args) {
    std::string out;
    auto arg = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() &&
            (format[i + 1] == 's' || format[i + 1] == 'p') && arg != args.end()) {
            out.append(*arg++);
            ++i;
        } else {
            out.push_back(format[i]);
        }
    }
    return out;
}

} // namespace

std::string WorkerErrorText(const std::exception& error, std::string_view module,
                            const void* address) {
    const std::string message = error.what();
    const std::string withStop = ErrorBoxText(message);
    const std::string_view stop = std::string_view(withStop).substr(message.size());
    return FillDirectives(kWorkerErrorFormat,
                          {ExceptionClassName(error), module, AddressText(address), message, stop});
}

// ---- THiddenThread ----

THiddenThread::THiddenThread(TWorkerThread& owner, TExecuteEvent handler, void* parameter)
    : m_owner(owner), m_onExecute(std::move(handler)), m_parameter(parameter) {
    m_thread = std::thread([this] { Body(); });
    // Execute returns the OS identifier, which only the new thread can read.
    std::unique_lock lock(m_gateMutex);
    m_gate.wait(lock, [this] { return m_threadId != 0; });
}

THiddenThread::~THiddenThread() {
    if (m_thread.joinable())
        m_thread.join();
}

void THiddenThread::Resume() {
    {
        std::lock_guard lock(m_gateMutex);
        m_resumed = true;
    }
    m_gate.notify_all();
}

void THiddenThread::RequestTerminate() {
    m_terminateRequested.store(true, std::memory_order_release);
    if (Suspended())
        Resume();
}

void THiddenThread::Abandon() {
    {
        std::lock_guard lock(m_gateMutex);
        m_abandoned = true;
    }
    m_gate.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void THiddenThread::RunOnUiThread(const std::function<void()>& call) {
    m_owner.Bridge().RunOnUiThread(call);
}

void THiddenThread::ReportError(const std::exception& error) {
    try {
        RunOnUiThread([&] { m_owner.ShowThreadError(error, m_errorAddress); });
    } catch (...) {
        // A box that cannot be shown must not keep the end from being reported.
    }
}

void THiddenThread::Body() {
    {
        std::unique_lock lock(m_gateMutex);
        m_threadId = static_cast<std::uint32_t>(::gettid());
        m_gate.notify_all();
        m_gate.wait(lock, [this] { return m_resumed || m_abandoned; });
        if (m_abandoned)
            return;
    }
    m_suspended.store(false, std::memory_order_release);

    try {
        m_onExecute(&m_owner, m_parameter);
    } catch (const std::exception& error) {
        m_error = std::current_exception();
        m_errorAddress = &error;
        ReportError(error);
    } catch (...) {
        // Not an error the box can describe: the body simply ends, and its end is still reported.
    }

    m_exitValue = 0;
    const bool freeOnTerminate = m_freeOnTerminate;
    m_finished.store(true, std::memory_order_release);
    if (m_onTerminate) {
        try {
            RunOnUiThread([this] { m_onTerminate(*this); });
        } catch (...) {
            // An error of OnFinish comes back here; the thread has nobody left to tell.
        }
    }
    if (freeOnTerminate) {
        TWorkerThread& owner = m_owner;
        m_thread.detach();
        delete this;
        owner.NoteThreadExit();
    }
}

// ---- TWorkerThread ----

TWorkerThread::TWorkerThread(TUiBridge& bridge, TUiServices& ui) : m_bridge(bridge), m_ui(ui) {}

TWorkerThread::~TWorkerThread() {
    Terminate();
    // The count only drops when a thread's end is handled on this thread, so keep handling calls.
    if (OneThreadIsRunning())
        m_bridge.ProcessMessagesUntil([this] { return !OneThreadIsRunning(); });
    {
        std::unique_lock lock(m_exitMutex);
        m_exited.wait(lock, [this] { return m_liveSelfFreeing == 0; });
    }
    for (THiddenThread* thread : m_kept)
        delete thread;
}

std::uint32_t TWorkerThread::Execute(void* parameter) {
    if (m_exclusive && OneThreadIsRunning())
        return 0;
    if (!m_onExecute)
        return 0;

    ++m_runningCount;
    THiddenThread* thread = nullptr;
    try {
        thread = new THiddenThread(*this, m_onExecute, parameter);
        thread->m_freeOnTerminate = m_freeOnTerminate;
        thread->m_onTerminate = [this](THiddenThread& sender) {
            HandleThreadTerminate(sender);
        };
        {
            std::lock_guard lock(m_threadsLock);
            m_threads.push_back(thread);
        }
        if (m_onBegin)
            m_onBegin(nullptr);
    } catch (...) {
        // Nothing runs, so nothing may stay counted: a later Exclusive Execute must not be refused
        // because of a thread that never existed.
        if (thread) {
            {
                std::lock_guard lock(m_threadsLock);
                std::erase(m_threads, thread);
            }
            thread->Abandon();
            delete thread;
        }
        --m_runningCount;
        throw;
    }

    if (thread->m_freeOnTerminate) {
        std::lock_guard lock(m_exitMutex);
        ++m_liveSelfFreeing;
    }
    const std::uint32_t id = thread->ThreadID();
    if (m_runOnCreate)
        thread->Resume();
    return id;
}

void TWorkerThread::Terminate() {
    std::lock_guard lock(m_threadsLock);
    for (THiddenThread* thread : m_threads)
        thread->RequestTerminate();
}

bool TWorkerThread::Terminated() const {
    std::lock_guard lock(m_threadsLock);
    return std::all_of(m_threads.begin(), m_threads.end(),
                       [](const THiddenThread* thread) { return thread->TerminateRequested(); });
}

bool TWorkerThread::Resume(std::uint32_t threadId) {
    std::lock_guard lock(m_threadsLock);
    const auto it = std::find_if(m_threads.begin(), m_threads.end(), [&](THiddenThread* thread) {
        return thread->ThreadID() == threadId && thread->Suspended();
    });
    if (it == m_threads.end())
        return false;
    (*it)->Resume();
    return true;
}

void TWorkerThread::HandleThreadTerminate(THiddenThread& sender) {
    --m_runningCount;
    {
        std::lock_guard lock(m_threadsLock);
        std::erase(m_threads, &sender);
    }
    if (!sender.m_freeOnTerminate)
        m_kept.push_back(&sender);

    std::exception_ptr finishError;
    if (m_onFinish) {
        try {
            m_onFinish(nullptr);
        } catch (...) {
            finishError = std::current_exception();
        }
    }
    // OnFinishAll follows also when OnFinish failed.
    if (m_runningCount == 0 && m_onFinishAll)
        m_onFinishAll(nullptr);
    if (finishError)
        std::rethrow_exception(finishError);
}

void TWorkerThread::ShowThreadError(const std::exception& error, const void* address) {
    m_ui.ShowErrorWithCaption(std::string(kWorkerErrorCaption),
                              WorkerErrorText(error, ModuleName(), address));
}

void TWorkerThread::NoteThreadExit() {
    std::lock_guard lock(m_exitMutex);
    --m_liveSelfFreeing;
    m_exited.notify_all();
}

} // namespace sornafex
