// A set of registered listeners that is safe to call while another thread
// unregisters: Remove() returns only when no call to any listener of the set
// runs on another thread, so the caller may destroy its listener afterwards.
// A listener may unregister itself (or others) from inside its own call.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace qvxdev {

template <class Listener>
class ListenerSet {
public:
    // False when the listener is already registered.
    bool Add(Listener* p) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (std::find(m_list.begin(), m_list.end(), p) != m_list.end()) return false;
        m_list.push_back(p);
        return true;
    }

    // False when the listener was not registered.
    bool Remove(Listener* p) {
        std::unique_lock<std::mutex> lock(m_mutex);
        auto it = std::find(m_list.begin(), m_list.end(), p);
        if (it == m_list.end()) return false;
        m_list.erase(it);
        WaitForOtherCalls(lock);
        return true;
    }

    void Clear() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_list.clear();
        WaitForOtherCalls(lock);
    }

    bool Empty() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_list.empty();
    }

    // Calls fn(listener) for every listener registered when the call starts
    // and still registered when its turn comes.
    template <class Fn>
    void ForEach(Fn fn) {
        std::vector<Listener*> snapshot;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            snapshot = m_list;
            m_callers.push_back(std::this_thread::get_id());
        }
        for (Listener* p : snapshot) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (std::find(m_list.begin(), m_list.end(), p) == m_list.end()) continue;
            }
            fn(p);
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_callers.erase(std::find(m_callers.begin(), m_callers.end(), std::this_thread::get_id()));
        m_done.notify_all();
    }

private:
    void WaitForOtherCalls(std::unique_lock<std::mutex>& lock) {
        const auto self = std::this_thread::get_id();
        m_done.wait(lock, [&] {
            return std::all_of(m_callers.begin(), m_callers.end(), [&](auto id) { return id == self; });
        });
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_done;
    std::vector<Listener*> m_list;
    std::vector<std::thread::id> m_callers;  // threads inside ForEach
};

}  // namespace qvxdev
