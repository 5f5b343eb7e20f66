#include "ProgressLine.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace {

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) {
    g_interrupted = true;
}

}  // namespace

ProgressLine::ProgressLine() : m_bTerminal(isatty(STDERR_FILENO) == 1) {}

void ProgressLine::Show(int nPercent, const std::string& text) {
    if (!m_bTerminal || (nPercent == m_nPercent && text == m_text)) return;
    m_nPercent = nPercent;
    m_text = text;
    constexpr int kWidth = 30;
    int filled = nPercent * kWidth / 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kWidth - filled), '.');
    // Keep the whole line within a normal terminal's width.
    std::string shown = text.size() > 40 ? text.substr(0, 37) + "..." : text;
    fprintf(stderr, "\r[%s] %3d %%  %-40s", bar.c_str(), nPercent, shown.c_str());
    fflush(stderr);
    m_bDrawn = true;
}

void ProgressLine::Finish() {
    if (m_bDrawn) fputc('\n', stderr);
    m_bDrawn = false;
}

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);  // the terminal closed
}

bool InterruptRequested() {
    return g_interrupted.load();
}
