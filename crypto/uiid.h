#pragma once

#include <string>

// The contact identifier: upper-case hex MD5 of the GB18030 name immediately followed by the
// mobile number. Same person and number give the same identifier on every installation.
std::string MakeUIID(const std::string& name, const std::string& mobile);
