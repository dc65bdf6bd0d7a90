#pragma once
// The rich text control's RTF, both ways.
#include "platform/RtfReader.h"
#include "platform/RtfWriter.h"
