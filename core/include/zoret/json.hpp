#pragma once

// The whole JSON toolkit: the value type and its equality, the strict parser and
// the writers. Include one of the three headers below where one is enough.

#include "zoret/json/parse.hpp"
#include "zoret/json/value.hpp"
#include "zoret/json/write.hpp"
