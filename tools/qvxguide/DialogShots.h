// Pictures of the program's dialogs for the user guides, taken offscreen in
// the current language with the sample content of a GuideScene. Each picture
// is the dialog as it shows itself, framed with a simple title bar that
// carries the window title. Dialogs that this build lacks are left out.
#pragma once

#include <QImage>
#include <QString>
#include <map>

namespace qvxguide {

class GuideScene;

// Pictures by name: "main", "mapping", "preview", "progress", "copy", "info", "pcsuite".
// Problems are reported on standard error; their pictures are missing.
std::map<QString, QImage> TakeDialogShots(GuideScene& scene);

// The names of the pictures this build can take.
QStringList AvailableShots();

}  // namespace qvxguide
