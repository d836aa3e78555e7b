#include "support/markdown/HostilePictures.h"

namespace tolvaran::fixtures {

namespace {

constexpr char svgStart[] = "<svg xmlns=\"http://www.w3.org/2000/svg\" "
                            "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"100\" "
                            "height=\"100\">";

QByteArray number(qint64 value)
{
    return QByteArray::number(value);
}

} // namespace

QByteArray svgOfGradientChain(int gradients)
{
    QByteArray svg(svgStart);
    svg.reserve(qsizetype(gradients) * 52 + 512);
    // Each names the one after it, not yet read: Qt keeps the name and follows it only when
    // the gradient is first drawn, then every link after it in one go.
    for (int i = 0; i + 1 < gradients; ++i)
        svg += "<linearGradient id=\"g" + number(i) + "\" xlink:href=\"#g" + number(i + 1)
               + "\"/>";
    svg += "<linearGradient id=\"g" + number(gradients - 1)
           + "\"><stop offset=\"0\" stop-color=\"#36c\"/><stop offset=\"1\" "
             "stop-color=\"#fc3\"/></linearGradient>";
    return svg + "<rect width=\"100\" height=\"100\" fill=\"url(#g0)\"/></svg>";
}

QByteArray svgOfReusedGroup(int groups, int uses)
{
    QByteArray svg = QByteArray(svgStart) + "<defs><g id=\"a\">";
    svg.reserve(svg.size() + qsizetype(groups) * 4 + qsizetype(uses) * 22 + 64);
    for (int i = 0; i < groups; ++i)
        svg += "<g/>";
    svg += "</g></defs>";
    for (int i = 0; i < uses; ++i)
        svg += "<use xlink:href=\"#a\"/>";
    return svg + "</svg>";
}

QByteArray svgOfDescendantSelectors(int selectors, int depth)
{
    QByteArray svg = QByteArray(svgStart) + "<style>";
    svg.reserve(svg.size() + qsizetype(selectors) * 5 + qsizetype(depth) * 7 + 64);
    for (int i = 0; i < selectors; ++i)
        svg += i == 0 ? "x g" : ", x g";
    svg += "{fill:#c33}</style>";
    for (int i = 0; i < depth; ++i)
        svg += "<g>";
    for (int i = 0; i < depth; ++i)
        svg += "</g>";
    return svg + "</svg>";
}

QByteArray svgOfLongClassLists(int elements, qsizetype classBytes, int rules)
{
    QByteArray svg = QByteArray(svgStart) + "<style>";
    for (int i = 0; i < rules; ++i)
        svg += ".c" + number(i) + "{fill:#c33}";
    svg += "</style>";
    // One-letter classes that no rule names.
    QByteArray classes;
    classes.reserve(classBytes + 1);
    while (classes.size() + 2 <= classBytes)
        classes += "k ";
    classes += "k";
    for (int i = 0; i < elements; ++i)
        svg += "<rect class=\"" + classes + "\" width=\"10\" height=\"10\"/>";
    return svg + "</svg>";
}

QByteArray svgOfNamespaceDeclarations(int declarations)
{
    QByteArray svg = QByteArray(svgStart) + "<g";
    svg.reserve(svg.size() + qsizetype(declarations) * 20 + 128);
    for (int i = 0; i < declarations; ++i)
        svg += " xmlns:n" + number(i) + "=\"u\"";
    return svg + "><rect width=\"10\" height=\"10\"/></g></svg>";
}

} // namespace tolvaran::fixtures
