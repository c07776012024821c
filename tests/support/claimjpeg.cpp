// The claiming JPEG for the archive builders, in a file of its own: the image builders' Bytes
// type and the archive builders' Bytes function share a name.
#include "support/imagebuild.h"

std::vector<unsigned char> ClaimingJpegFile(unsigned w, unsigned h) { return BuildClaimingJpeg(w, h); }
