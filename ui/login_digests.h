#pragma once

#include <string>

// Upper-case MD5 digests of the user name and password that open the program.
struct LoginDigests {
    std::string user;
    std::string password;
};
