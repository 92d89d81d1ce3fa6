#include "publish/sitepages.h"

namespace publish {

// Readable from a 375 px phone to a desktop without sideways scrolling of the page (a wide table
// scrolls in its own box), in the reader's light or dark colours; the chart's lines take theirs
// from here too.
QByteArray styleSheet()
{
    return QByteArrayLiteral(R"css(:root {
  color-scheme: light dark;
  --text: #1b1f24; --muted: #57606a; --back: #ffffff; --panel: #f3f5f7; --line: #d0d7de; --link: #0b57d0;
  --s0: #0b57d0; --s1: #c4320a; --s2: #1a7f37; --s3: #8250df; --s4: #9a6700;
}
@media (prefers-color-scheme: dark) {
  :root {
    --text: #e6edf3; --muted: #9da7b3; --back: #0d1117; --panel: #161b22; --line: #30363d; --link: #79b8ff;
    --s0: #79b8ff; --s1: #ff9e7a; --s2: #56d364; --s3: #d2a8ff; --s4: #e3b341;
  }
}
* { box-sizing: border-box; }
html { -webkit-text-size-adjust: 100%; }
body {
  margin: 0 auto; max-width: 64rem; padding: 0 1rem 2rem;
  font: 1rem/1.5 system-ui, -apple-system, "Segoe UI", "Liberation Sans", sans-serif;
  color: var(--text); background: var(--back); overflow-wrap: anywhere;
}
a { color: var(--link); }
header nav { display: flex; flex-wrap: wrap; gap: 0.5rem 1.5rem; padding: 0.75rem 0; border-bottom: 1px solid var(--line); }
h1 { font-size: 1.6rem; margin: 1rem 0; }
h2 { font-size: 1.25rem; margin: 1.5rem 0 0.5rem; }
/* A keyboard reaches a table's box (it is focusable) to scroll it; the box shows when it has the focus. */
.wide { max-width: 100%; overflow-x: auto; }
.wide:focus-visible { outline: 2px solid var(--link); outline-offset: 2px; }
/* A cell breaks between words only; a table wider than the phone scrolls in its box instead. */
table { border-collapse: collapse; margin: 0.5rem 0 1rem; font-size: 0.9rem; overflow-wrap: normal; }
caption { text-align: left; color: var(--muted); padding: 0.25rem 0; }
th, td { padding: 0.3rem 0.5rem; border-bottom: 1px solid var(--line); text-align: left; vertical-align: top; }
thead th { background: var(--panel); }
tbody th { font-weight: normal; }
.num { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
/* A best's car and date stay on one line each: the table scrolls in its box rather than every row
   growing three lines tall on a phone. */
td.car, td.date { white-space: nowrap; }
ul.links { display: flex; flex-wrap: wrap; gap: 0.25rem 1rem; padding: 0; list-style: none; }
figure { margin: 1rem 0; }
svg.chart { display: block; width: 100%; max-width: 40rem; }
/* The plot stretches to the chart's width; its lines and dots keep their thickness, and a dot on
   the plot's edge shows whole. The texts, outside the stretched plot, keep their size. */
svg.chart svg { overflow: visible; }
svg .grid { stroke: var(--line); stroke-width: 1; }
svg .axis { fill: var(--muted); font-size: 12px; paint-order: stroke; stroke: var(--back); stroke-width: 3px; stroke-linejoin: round; }
svg .line { fill: none; stroke-width: 2; vector-effect: non-scaling-stroke; }
svg .dot { stroke-width: 6; stroke-linecap: round; vector-effect: non-scaling-stroke; }
.s0 { stroke: var(--s0); fill: var(--s0); } .s1 { stroke: var(--s1); fill: var(--s1); }
.s2 { stroke: var(--s2); fill: var(--s2); } .s3 { stroke: var(--s3); fill: var(--s3); }
.s4 { stroke: var(--s4); fill: var(--s4); }
svg .line.s0, svg .line.s1, svg .line.s2, svg .line.s3, svg .line.s4,
svg .dot.s0, svg .dot.s1, svg .dot.s2, svg .dot.s3, svg .dot.s4 { fill: none; }
figcaption { color: var(--muted); font-size: 0.9rem; }
ul.legend { display: flex; flex-wrap: wrap; gap: 0.25rem 1rem; padding: 0; list-style: none; font-size: 0.9rem; }
.key { display: inline-block; width: 1rem; height: 0.25rem; margin-right: 0.4rem; vertical-align: middle; background: var(--s0); }
.key.s1 { background: var(--s1); } .key.s2 { background: var(--s2); } .key.s3 { background: var(--s3); } .key.s4 { background: var(--s4); }
footer { margin-top: 2rem; color: var(--muted); font-size: 0.85rem; }
footer p { margin: 0.25rem 0; }
.about { color: var(--muted); margin-top: -0.5rem; }
)css");
}

} // namespace publish
