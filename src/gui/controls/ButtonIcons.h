// The program's pictures: the 16 x 16 button icons (each with a greyed twin
// for the disabled state), the program icon and the two pictures of the info
// dialog. They are drawn as SVG and rendered at the screen's pixel ratio, so
// they stay sharp on scaled displays.
//
// Resource ids and their use:
//
//   id   picture                 used by
//   128  program icon (64 x 64)   window icons, info dialog
//   133  browse (open folder)     CSV and mapping browse buttons       (disabled: 137)
//   134  edit (pencil)            edit mapping                         (disabled: 136)
//   135  create (page with plus)  create mapping                       (disabled: 139)
//   149  OK (check mark)          OK, Complete, copy button when idle  (disabled: 152)
//   150  cancel (cross)           Cancel, Back, copy button as abort   (disabled: 151)
//   157  help (question mark)     help button                          (disabled: 158)
//   159  web (globe)              web-address button                   (disabled: 160)
//   161  complete (arrow)         optional alternative for Complete    (disabled: 162)
//   163  copy to phone            optional alternative for Copy        (disabled: 164)
//   140  product picture          info dialog (about 272 x 60)
//   143  product name picture     info dialog (about 200 x 22)
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace qvxicons {

inline constexpr int kProgramIcon = 128;
inline constexpr int kBrowse = 133;
inline constexpr int kEdit = 134;
inline constexpr int kCreate = 135;
inline constexpr int kEditDisabled = 136;
inline constexpr int kBrowseDisabled = 137;
inline constexpr int kCreateDisabled = 139;
inline constexpr int kProductPicture = 140;
inline constexpr int kProductNamePicture = 143;
inline constexpr int kOk = 149;
inline constexpr int kCancel = 150;
inline constexpr int kCancelDisabled = 151;
inline constexpr int kOkDisabled = 152;
inline constexpr int kHelp = 157;
inline constexpr int kHelpDisabled = 158;
inline constexpr int kWeb = 159;
inline constexpr int kWebDisabled = 160;
inline constexpr int kComplete = 161;
inline constexpr int kCompleteDisabled = 162;
inline constexpr int kCopy = 163;
inline constexpr int kCopyDisabled = 164;

// The Qt resource path of a picture id, or an empty text for an unknown id.
QString ResourcePath(int nId);
// The picture's natural size in logical pixels (16 x 16 for button icons);
// an invalid size for an unknown id.
QSize NaturalSize(int nId);
// Renders a picture at a logical size (the natural size when `size` is
// invalid) for a device pixel ratio; a null pixmap for an unknown id.
QPixmap RenderPicture(int nId, QSize size = QSize(), qreal dDevicePixelRatio = 1.0);
// The program icon with the usual window-icon sizes.
QIcon ProgramIcon();

}  // namespace qvxicons
