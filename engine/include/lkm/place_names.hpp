// What each recognised place is called, in the writes of the patch plan, in
// recognition's failures and in the reports of the tools.
#pragma once

namespace lkm {

namespace placeName {
inline constexpr char cameraAspect[] = "camera aspect";
inline constexpr char guiHorizontalScale[] = "GUI horizontal scale";
inline constexpr char guiVerticalScale[] = "GUI vertical scale";
inline constexpr char guiHorizontalReciprocal[] = "GUI horizontal reciprocal";
inline constexpr char guiVerticalReciprocal[] = "GUI vertical reciprocal";
inline constexpr char mouseHorizontalScale[] = "mouse horizontal scale";
inline constexpr char mouseVerticalScale[] = "mouse vertical scale";
inline constexpr char rootGuiWidth[] = "root GUI width";
inline constexpr char rootGuiHeight[] = "root GUI height";
inline constexpr char rootGuiInitializerCall[] = "root GUI initializer call";
inline constexpr char horizontalCentringTrampoline[] = "horizontal centring trampoline";
inline constexpr char verticalCentringTrampoline[] = "vertical centring trampoline";
inline constexpr char verticalReciprocalSpace[] = "vertical reciprocal space";
inline constexpr char verticalGuiReference[] = "vertical GUI reference";
// Recognised places no write touches.
inline constexpr char horizontalForwardConversion[] = "horizontal forward conversion";
inline constexpr char verticalForwardConversion[] = "vertical forward conversion";
inline constexpr char horizontalInverseConversion[] = "horizontal inverse conversion";
inline constexpr char verticalInverseConversion[] = "vertical inverse conversion";
inline constexpr char rootGuiInitializer[] = "root GUI initializer";
inline constexpr char cvarSetter[] = "CVar setter"; // followed by its index in Layout::setters
// Call sites recognition starts from.
inline constexpr char mainCameraProjection[] = "main camera projection";
inline constexpr char rootGuiConstructor[] = "root GUI constructor";
} // namespace placeName

} // namespace lkm
