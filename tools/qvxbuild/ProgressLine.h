// A progress bar on standard error, drawn only when standard error is a
// terminal, and redrawn only when the percentage or the text changes.
#pragma once

#include <string>

class ProgressLine {
public:
    ProgressLine();
    void Show(int nPercent, const std::string& text);
    // Ends the line so that later output starts on a fresh one.
    void Finish();
    bool IsTerminal() const { return m_bTerminal; }

private:
    bool m_bTerminal;
    bool m_bDrawn = false;
    int m_nPercent = -1;
    std::string m_text;
};

// SIGINT, SIGTERM and SIGHUP turn into a request that the command's wait loop picks up.
void InstallInterruptHandler();
bool InterruptRequested();
