// Quenlo: a dynamic data container with a compact text form.
#pragma once

#include "quenlo/automation.hpp"
#include "quenlo/collection.hpp"
#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/files.hpp"
#include "quenlo/object.hpp"
#include "quenlo/tavrix.hpp"
#include "quenlo/variant.hpp"
#include "quenlo/version.hpp"
