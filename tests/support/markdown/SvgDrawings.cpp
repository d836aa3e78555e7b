#include "support/markdown/SvgDrawings.h"

namespace tolvaran::fixtures {

QByteArray svgMentioningImport()
{
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"40\" height=\"20\"><style>\n"
           "/* The site's theme comes by @import in the full build, not here */\n"
           ".left { fill: #00f; }\n"
           ".right { font-family: \"@import\"; fill: #0a0; }\n"
           "</style><rect class=\"left\" width=\"20\" height=\"20\"/>"
           "<rect class=\"right\" x=\"20\" width=\"20\" height=\"20\"/></svg>";
}

QByteArray svgOfEntityNamingEntity()
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
           "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\" [\n"
           "\t<!ENTITY ns_svg \"http://www.w3.org/2000/svg\">\n"
           "\t<!ENTITY brand \"#0a6\">\n"
           "\t<!ENTITY st_brand \"fill:&brand;;stroke:none\">\n]>\n"
           "<svg xmlns=\"&ns_svg;\" width=\"40\" height=\"20\">"
           "<rect width=\"40\" height=\"20\" style=\"&st_brand;\"/></svg>";
}

} // namespace tolvaran::fixtures
