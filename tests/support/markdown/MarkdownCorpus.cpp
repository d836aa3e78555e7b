#include "support/markdown/MarkdownCorpus.h"

#include <QStringList>

#include <algorithm>

namespace tolvaran::fixtures::markdown {

QList<CorpusEntry> corpus()
{
    return {
        {QStringLiteral("atxHeadings"),
         QStringLiteral(R"(# One
## Two *emphasised*
### Three ###
#### Four `code`
##### Five
###### Six
####### not a heading
)")},
        {QStringLiteral("setextHeadings"),
         QStringLiteral(R"(Title with **strong**
=====

Subtitle
--------
)")},
        {QStringLiteral("paragraphsAndBreaks"),
         QStringLiteral("First line\nsoft-broken line.\n\nHard break with spaces  \n"
                        "and with a backslash\\\nend.\n\n   Indented paragraph text.\n")},
        {QStringLiteral("escapesAndEntities"),
         QStringLiteral(R"(Escaped \*stars\*, \# hash, \[brackets\] and \\ backslash.

Entities: &amp; &lt;tag&gt; &copy; &#35; &#x4A; &nbsp;x &bogus; 5 < 6 > 4 "quotes" 'single'
)")},
        {QStringLiteral("unicodeText"),
         QStringLiteral(R"(Ünïcode façade — “quotes”, emoji 🚀 and 日本語のテキスト.

Zero-width joiner family 👨‍👩‍👧 and a combining é.
)")},
        {QStringLiteral("emphasisAndStrong"),
         QStringLiteral(R"(*em* _em_ **strong** __strong__ ***both*** *nested **strong** inside*
snake_case_word and intra*word*emphasis, * not emphasis *, **unclosed
)")},
        {QStringLiteral("codeSpans"),
         QStringLiteral(R"(Use `code`, `` a ` backtick ``, ` spaced `, and `<b>&amp;</b>`.
)")},
        {QStringLiteral("inlineLinks"),
         QStringLiteral(R"([plain](https://example.com/a) [*emphasised* text](/relative/path)
[spaced](<a b.html>) [empty]() [query](https://example.com/?q=a&b=c#frag)
[unsafe](javascript:alert(1)) [data](data:text/html;base64,PGI+) [mail](mailto:a@example.com)
)")},
        {QStringLiteral("referenceLinks"),
         QStringLiteral(R"([full][ref], [collapsed][], [shortcut] and [missing][nope].

[ref]: https://example.com/full
[collapsed]: https://example.com/collapsed
[shortcut]: <https://example.com/short cut>
)")},
        {QStringLiteral("autolinks"),
         QStringLiteral(R"(<https://example.com/auto> and <person@example.com>.
Bare www.example.com, https://example.org/path?x=1. and contact@example.net here.
)")},
        {QStringLiteral("images"),
         QStringLiteral(R"(![alt text](image.png)
![*emphasised* alt](https://example.com/i.svg#gh-dark-mode-only)
[![linked](badge.svg)](https://example.com/ci) ![nested ![inner](in.png) outer](out.png)

![reference image][logo]

[logo]: /images/logo.png
)")},
        {QStringLiteral("strikethrough"),
         QStringLiteral(R"(~~struck~~ and ~single~ and ~~**strong struck**~~
and ~~~three~~~ and a~~b~~c.
)")},
        {QStringLiteral("inlineHtml"),
         QStringLiteral(R"(Some <span class="x">inline</span> HTML, a <br/> break,
<!-- a comment -->,
<script>alert(1)</script> and <textarea>text</textarea> and <img src=x onerror=alert(1)>.
)")},
        {QStringLiteral("htmlBlocks"),
         QStringLiteral(R"(<div align="center">
  <img src="logo.png">
</div>

<script>
alert("never");
</script>

<!-- comment block -->

<iframe src="https://example.com"></iframe>
)")},
        {QStringLiteral("fencedCode"),
         QStringLiteral(R"(```swift
let x = 1 < 2 && 3 > 2
```

~~~ python extra words
def f():

    return "<&>"
~~~

```
no info string
```

````markdown
```
nested fence
```
````
)")},
        {QStringLiteral("indentedCode"),
         QStringLiteral("Paragraph.\n\n    indented code\n    <tag> & more\n\n      deeper\n")},
        {QStringLiteral("blockquotes"),
         QStringLiteral(R"(> Quoted *text*
continued lazily.
>
> > Nested quote
> > - with a list
>
> ```
> code in a quote
> ```
)")},
        {QStringLiteral("bulletedLists"),
         QStringLiteral(R"(- tight one
- tight two
  - nested **item**
    - deeper

* loose one

* loose two

  second paragraph

+ plus marker
)")},
        {QStringLiteral("numberedLists"),
         QStringLiteral(R"(1. first
2. second
3. third

7) seven
8) eight

10. ten

    indented code in an item
11. eleven
)")},
        {QStringLiteral("taskLists"),
         QStringLiteral(R"(- [ ] open task
- [x] done task
- [X] upper-case done

- [ ] loose task

- [x] loose done

> - [ ] task in a quote
)")},
        {QStringLiteral("tables"),
         QStringLiteral(R"(| Name | Left | Centre | Right |
|------|:-----|:------:|------:|
| *a*  | `b`  | [c](d) | ~~e~~ |
| f \| g | h |
| i | j | k | l | extra |
)")},
        {QStringLiteral("tableVariants"),
         QStringLiteral(R"(Header only
| x | y |
|---|---|

a | b
--|--
1 | 2

> | quoted | table |
> |:-:|--|
> | 1 | ![img](i.png) |
)")},
        {QStringLiteral("thematicBreaks"),
         QStringLiteral(R"(Above
***
Middle

---
___
 * * *
)")},
        {QStringLiteral("mixedDocument"),
         QStringLiteral(R"(# Project

A paragraph with **bold**, *italic*, `code`, ~~gone~~ and a [link](https://example.com).

## Install

1. Clone it:
   ```sh
   git clone https://example.com/repo.git
   ```
2. Build it.

> **Note**
> Read the [docs](docs/README.md) first.

- [x] parser
- [ ] views

| Step | Time |
|:-----|-----:|
| one  | 1 s  |

---
)")},
    };
}

QString showcaseDocument()
{
    return QStringLiteral(R"(# Release notes

Tolvaran renders *emphasis*, **strong text**, ~~struck text~~, `inline code` and
[links](https://example.com/notes) with a soft break above and a hard break here\
on the next line. Raw <span>HTML</span> shows as its source.

## Installing

1. Download the archive.
2. Unpack it:
   ```sh
   tar xf tolvaran.tar.gz
   ```
3. Run **tolvaran**.

- First level
  - Second level
    - Third level
- Back to the first

> A quoted paragraph, with *emphasis*.
>
> > And a nested quote.

- [x] A finished task
- [ ] A task still open

### Code

```cpp
int main()
{
    return 0; // a comment
}
```

| Column | Aligned right |
| ------ | ------------: |
| one    | 1             |
| two    | 22            |

---

<div>An HTML block</div>

#### Heading four
##### Heading five
###### Heading six

![An image described in words](https://example.com/image.png)
)");
}

QString wideTable(int columns, int rows)
{
    const QStringList words{QStringLiteral("Experimental"), QStringLiteral("Downgraded"),
                            QStringLiteral("e.g. Ubuntu 22.04"), QStringLiteral("x86_64"),
                            QStringLiteral("supported")};
    QString table = QStringLiteral("|");
    for (int column = 1; column <= columns; ++column)
        table += QStringLiteral(" Column %1 |").arg(column);
    table += QStringLiteral("\n|") + QStringLiteral("---|").repeated(columns) + u'\n';
    for (int row = 1; row <= rows; ++row) {
        table += u'|';
        for (int column = 1; column <= columns; ++column) {
            if (row == 1 && column == columns) {
                table += QStringLiteral(" [details](https://example.com/details) |");
                continue;
            }
            table += QStringLiteral(" %1 r%2c%3 |")
                         .arg(words[(row + column) % words.size()])
                         .arg(row)
                         .arg(column);
        }
        table += u'\n';
    }
    return table;
}

QString platformTable()
{
    const QStringList systems{QStringLiteral("GNU/Linux"), QStringLiteral("Windows"),
                              QStringLiteral("macOS"), QStringLiteral("FreeBSD"),
                              QStringLiteral("SmartOS")};
    const QStringList architectures{QStringLiteral("x64"), QStringLiteral("arm64"),
                                    QStringLiteral("ppc64le, s390x"),
                                    QStringLiteral("armv7, riscv64")};
    const QStringList supports{QStringLiteral("Tier 1"), QStringLiteral("Tier 2"),
                               QStringLiteral("Experimental")};
    const QStringList notes{
        QStringLiteral("e.g. Ubuntu 22.04 and later"), QString(),
        QStringLiteral("Downgraded until its build machines come back"),
        QStringLiteral("Needs the vendor's build tools installed first"),
        QStringLiteral("Cross-compiled only")};
    QString table = QStringLiteral(
        "| Operating System | Architectures | Versions | Support Type | Notes |\n"
        "| ---------------- | ------------- | -------- | ------------ | ----- |\n");
    for (int row = 0; row < 12; ++row) {
        table += QStringLiteral("| %1 | %2 | >= %3.%4 | %5 | %6 |\n")
                     .arg(systems[row % systems.size()])
                     .arg(architectures[row % architectures.size()])
                     .arg(10 + row)
                     .arg(row % 3)
                     .arg(supports[row % supports.size()])
                     .arg(notes[row % notes.size()]);
    }
    return table;
}

QString generatedDocument(qsizetype minimumLength)
{
    const QList<CorpusEntry> entries = corpus();
    QString document;
    for (int section = 0; document.size() < minimumLength; ++section) {
        const CorpusEntry &entry = entries.at(section % entries.size());
        document += QStringLiteral("## Section %1: %2\n\n").arg(section).arg(entry.name);
        document += entry.text;
        document += QLatin1Char('\n');
    }
    return document;
}

namespace {

// `unit` repeated to about `length` characters.
QString repeated(const QString &unit, qsizetype length)
{
    return unit.repeated(std::max<qsizetype>(1, length / unit.size()));
}

} // namespace

QString nestedQuotes(qsizetype length)
{
    return repeated(QStringLiteral(">"), length) + QStringLiteral(" deepest text\n");
}

QString nestedLists(qsizetype length)
{
    return repeated(QStringLiteral("- "), length) + QStringLiteral("deepest text\n");
}

QString nestedBrackets(qsizetype length)
{
    const qsizetype depth = length / 5;
    return repeated(QStringLiteral("["), depth) + QStringLiteral("deepest text")
           + repeated(QStringLiteral("](u)"), depth * 4) + QLatin1Char('\n');
}

QString nestedEmphasis(qsizetype length)
{
    return repeated(QStringLiteral("*_"), length / 2) + QStringLiteral("deepest text")
           + repeated(QStringLiteral("_*"), length / 2) + QLatin1Char('\n');
}

QString nestedImages(qsizetype length)
{
    const qsizetype depth = length / 6;
    return repeated(QStringLiteral("!["), depth * 2) + QStringLiteral("deepest text")
           + repeated(QStringLiteral("](u)"), depth * 4) + QLatin1Char('\n');
}

} // namespace tolvaran::fixtures::markdown
