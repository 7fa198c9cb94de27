#pragma once
// The names a Metadata request asks a loader for, and the values come
// back under. Numbers are decimal text; a rational is "numerator/denominator";
// positions are signed degrees (south and west below zero), altitude metres.
namespace metadatakey {
inline constexpr char DateTaken[] = "DateTaken"; // "2008:10:22 16:28:39" as the camera wrote it
inline constexpr char Make[] = "Make";
inline constexpr char Model[] = "Model";
inline constexpr char Lens[] = "Lens";
inline constexpr char ExposureTime[] = "ExposureTime"; // seconds, rational
inline constexpr char FNumber[] = "FNumber";           // rational
inline constexpr char Iso[] = "ISO";
inline constexpr char FocalLength[] = "FocalLength";     // mm, rational
inline constexpr char FocalLength35[] = "FocalLength35"; // mm
inline constexpr char Flash[] = "Flash";                 // EXIF's flash bits
inline constexpr char Orientation[] = "Orientation";     // 1..8
inline constexpr char Latitude[] = "Latitude";
inline constexpr char Longitude[] = "Longitude";
inline constexpr char Altitude[] = "Altitude";
inline constexpr char Description[] = "Description";
inline constexpr char ColorProfile[] = "ColorProfile"; // the profile's own name
} // namespace metadatakey
