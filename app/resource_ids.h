#pragma once
// Resource numbers shared by the resource script and the code.

#define kIconApplication 100
#define kIconBrokenLink 201
#define kIconGoodLink 202
#define kIconMissingDisk 203
#define kIconChecking 204
#define kPictureTidewell 301
