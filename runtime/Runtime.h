#pragma once

// Everything a user of the object runtime needs.

#include "runtime/Associations.h"
#include "runtime/AutoreleasePool.h"
#include "runtime/Block.h"
#include "runtime/Class.h"
#include "runtime/MessageSend.h"
#include "runtime/NSObject.h"
#include "runtime/Ref.h"
#include "runtime/RuntimeError.h"
#include "runtime/Selector.h"
#include "runtime/Types.h"
#include "runtime/Weak.h"
