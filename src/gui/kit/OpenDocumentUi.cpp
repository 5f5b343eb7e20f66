#include "gui/kit/OpenDocumentUi.h"

#include <mutex>

#include "platform/ShellOpen.h"

namespace qvxui {
namespace {

std::mutex g_openerLock;
ShellOpener g_opener;

}  // namespace

void SetShellOpener(ShellOpener opener) {
    std::lock_guard<std::mutex> lock(g_openerLock);
    g_opener = std::move(opener);
}

int OpenWithShell(const std::string& address) {
    ShellOpener opener;
    {
        std::lock_guard<std::mutex> lock(g_openerLock);
        opener = g_opener;
    }
    return opener ? opener(address) : qvxplatform::OpenAddress(address);
}

}  // namespace qvxui
