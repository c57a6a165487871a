#include "tests/Cp936.h"

#include <iconv.h>

#include <stdexcept>
#include <vector>

std::string FromCp936(const std::string& cp936)
{
    const iconv_t converter = iconv_open("UTF-8", "CP936");
    if (converter == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("iconv cannot convert from code page 936");
    std::vector<char> input(cp936.begin(), cp936.end());
    std::vector<char> output(cp936.size() * 2 + 4);
    char* in = input.data();
    char* out = output.data();
    std::size_t inLeft = input.size();
    std::size_t outLeft = output.size();
    const std::size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    if (result == static_cast<std::size_t>(-1))
        throw std::runtime_error("not valid code page 936: " + cp936);
    return std::string(output.data(), out);
}
