// Enumerations and defaults shared by the graphics context and its controls.
#pragma once

namespace fw {

// A control that serves no parameter, and one attached without a tag.
constexpr int kNoParameter = -1;
constexpr int kNoTag = -1;
// All values of a multi-value control (IControl::SetDirty).
constexpr int kNoValIdx = -1;

// Drag gearing of knobs and sliders: a full sweep of the value takes this many
// times the length of the control's drag area.
constexpr double DEFAULT_GEARING = 4.0;
// Holding Shift or Control while dragging or turning the wheel makes the
// movement this many times finer.
constexpr double kFineGearingFactor = 10.0;
// Value change per wheel step, normal and fine.
constexpr double kWheelStep = 0.01;
constexpr double kFineWheelStep = 0.001;

constexpr int DEFAULT_FPS = 60;
constexpr float DEFAULT_TEXT_SIZE = 14.f;
constexpr const char* DEFAULT_FONT = "Roboto-Regular";

// Frame ticks the mouse must rest over a control before its tooltip shows
// (half a second at 30 frames per second).
constexpr int kDefaultTooltipDelayTicks = 15;

enum class EAlign { Near, Center, Far };
enum class EVAlign { Top, Middle, Bottom };
enum class EDirection { Vertical, Horizontal };
enum class EOrientation { North, East, South, West };
enum class EWinding { CW, CCW };
enum class EFillRule { Winding, EvenOdd };
enum class ELineCap { Butt, Round, Square };
enum class ELineJoin { Miter, Round, Bevel };
enum class EBlend { Default, Clobber, SourceOver = Default, SourceIn, SourceOut, SourceAtop, DestOver, DestIn, DestOut, DestAtop, Add, XOR };
enum class EPatternType { Solid, Linear, Radial };

enum class EFileAction { Open, Save };
enum EMsgBoxType { kMB_OK = 0, kMB_OKCANCEL = 1, kMB_YESNOCANCEL = 3, kMB_YESNO = 4 };
enum EMsgBoxResult { kNoResult = 0, kOK = 1, kCANCEL = 2, kYES = 6, kNO = 7 };

// How the corner resizer resizes: Scale keeps the design size and scales the
// whole editor (the only mode this layer supports; Size is treated as Scale).
enum class EUIResizerMode { Scale, Size };

// Value-meter response: values in dB (logarithmic) or as they come (linear).
enum class EResponse { Linear, Log };

// Message kind of the sender's update messages (IVMeterControl input).
constexpr int kUpdateMessage = 0;

}  // namespace fw
