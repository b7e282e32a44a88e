#pragma once
// Pictures of the gift banner and the car show come from the network (gift
// icons, car pictures): they are decoded only when their declared size is
// within a bound, and scaled down on load to the box they are drawn in, so
// a hostile file cannot take the memory of a screen-sized bitmap per item.

#include <QImage>
#include <QSize>

#include <string>

inline constexpr int kMaxShowPictureSide = 4096;
inline constexpr long long kMaxShowPictureBytes = 16ll << 20;

// The picture at `path`, scaled down (proportions kept) to fit `box`; a
// smaller one keeps its size. Null for a missing or undecodable file, one
// over the byte bound, or one declaring a side over kMaxShowPictureSide.
QImage LoadShowPicture(const std::string& path, QSize box);
