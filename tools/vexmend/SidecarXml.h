// A clip's identity as its XML sidecar states it: a P2 clip file
// (CONTENTS/CLIP/0001AB.XML) or an XDCAM or XAVC clip file
// (Clip/C0001M01.XML). A sidecar is read as untrusted text: no document
// type declaration, no entities, nothing from outside the file.
#pragma once

#include <string>

#include "ClipIdentity.h"

// The identity that the sidecar at `path` states (timecodeFrom "P2 XML" or
// "XDCAM XML" when it states a start timecode): empty when it is no sidecar
// of a kind known here, cannot be read, is larger than 4 MiB, is not well
// formed or declares a document type or entities. Never throws.
ClipIdentity SidecarIdentity(const std::string& path);

// The same for the sidecar's text.
ClipIdentity SidecarIdentityOfText(const std::string& text);
