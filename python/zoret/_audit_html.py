"""``zoret audit --format html``: one self-contained page to look at.

Styles, the charts (inline SVG) and the script that filters the table are all inside
the file, and its Content-Security-Policy forbids loading anything else: opening the
report fetches nothing, and a script that a hostile page title might smuggle in could
not run (only the report's own script, named by its hash, may). Every text that comes
from a page is escaped.
"""

from __future__ import annotations

import base64
import hashlib
import html
from pathlib import Path
from typing import IO, Any

from zoret import __version__
from zoret._check_output import Location, Origin
from zoret.audit.report import rule_of, section_of
from zoret.check import SEVERITIES, Violation

_COLORS = {"error": "#c62828", "warning": "#e68a00", "info": "#1e6fd9"}

_STYLE = """
:root { font: 15px/1.45 system-ui, sans-serif; color: #1d2330; background: #f6f7f9; }
body { margin: 0 auto; max-width: 1200px; padding: 24px; }
h1 { font-size: 22px; margin: 0 0 4px; } h2 { font-size: 17px; margin: 28px 0 8px; }
.muted { color: #5d6675; }
.cards { display: flex; flex-wrap: wrap; gap: 12px; margin: 16px 0; }
.card { background: #fff; border-radius: 8px; padding: 10px 16px; min-width: 110px;
  box-shadow: 0 1px 2px rgba(0,0,0,.08); }
.card b { display: block; font-size: 24px; }
.card.error b { color: #c62828; } .card.warning b { color: #e68a00; }
.card.info b { color: #1e6fd9; }
.charts { display: grid; grid-template-columns: repeat(auto-fit, minmax(460px, 1fr)); gap: 16px; }
figure { background: #fff; border-radius: 8px; margin: 0; padding: 12px 16px;
  box-shadow: 0 1px 2px rgba(0,0,0,.08); }
figcaption { font-weight: 600; margin-bottom: 6px; }
svg text { font: 12px system-ui, sans-serif; fill: #1d2330; }
svg .bar { cursor: pointer; } svg .bar:hover rect.back { fill: #eef1f5; }
.legend span { display: inline-block; margin-right: 14px; font-size: 13px; }
.legend i { display: inline-block; width: 10px; height: 10px; border-radius: 2px;
  margin-right: 5px; }
.filters { display: flex; flex-wrap: wrap; gap: 10px; align-items: center; margin: 8px 0; }
.filters select, .filters input { font: inherit; padding: 4px 6px; }
.filters input[type=search] { min-width: 260px; }
table { border-collapse: collapse; width: 100%; background: #fff; font-size: 13.5px; }
th, td { text-align: left; padding: 6px 8px; border-bottom: 1px solid #e6e9ee;
  vertical-align: top; }
th { background: #eef1f5; position: sticky; top: 0; }
td.sev { font-weight: 600; } tr.error td.sev { color: #c62828; }
tr.warning td.sev { color: #e68a00; } tr.info td.sev { color: #1e6fd9; }
td code { font-size: 12.5px; overflow-wrap: anywhere; }
.empty { padding: 16px; background: #fff; }
"""

_SCRIPT = """
(() => {
  const rows = [...document.querySelectorAll("#violations tbody tr")];
  const get = (id) => document.getElementById(id);
  const controls = ["severity", "rule", "section", "text"].map(get);
  const apply = () => {
    const [severity, rule, section] = controls.slice(0, 3).map((c) => c.value);
    const text = get("text").value.trim().toLowerCase();
    let shown = 0;
    for (const row of rows) {
      const d = row.dataset;
      const visible = (!severity || d.severity === severity) && (!rule || d.rule === rule) &&
        (!section || d.section === section) &&
        (!text || row.textContent.toLowerCase().includes(text));
      row.hidden = !visible;
      shown += visible;
    }
    get("shown").textContent = `${shown} of ${rows.length} shown`;
  };
  for (const control of controls) control.addEventListener("input", apply);
  for (const bar of document.querySelectorAll("svg .bar")) {
    bar.addEventListener("click", () => {
      const control = get(bar.dataset.filter);
      control.value = control.value === bar.dataset.value ? "" : bar.dataset.value;
      apply();
      get("violations").scrollIntoView({behavior: "smooth"});
    });
  }
  apply();
})();
"""


def _e(text: object) -> str:
    return html.escape(str(text), quote=True)


def _href(address: str, url: str | None) -> str:
    """Where a violation's link goes: the page's URL when it was fetched, else its file."""
    if address.startswith(("http://", "https://")):
        return address
    try:
        return Path(address).resolve().as_uri()
    except ValueError:
        return url or ""


def _chart(title: str, groups: dict[str, dict[str, int]], filter_id: str) -> str:
    """A horizontal stacked bar per group (most violations first), a segment per
    severity; clicking a bar filters the table by it."""
    if not groups:
        return ""
    ordered = sorted(groups.items(), key=lambda item: (-sum(item[1].values()), item[0]))
    largest = max(sum(counts.values()) for _, counts in ordered)
    label_width, bar_width, row = 210, 330, 24
    height = row * len(ordered) + 6
    parts = [
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{label_width + bar_width + 60}" '
        f'height="{height}" role="img" aria-label="{_e(title)}">'
    ]
    for index, (name, counts) in enumerate(ordered):
        y = index * row + 3
        total = sum(counts.values())
        shown = name if len(name) <= 30 else name[:29] + "…"
        parts.append(
            f'<g class="bar" data-filter="{filter_id}" data-value="{_e(name)}" '
            f'data-total="{total}"><title>{_e(name)}: {total}</title>'
            f'<rect class="back" x="0" y="{y - 2}" width="{label_width + bar_width + 60}" '
            f'height="{row - 2}" fill="transparent"/>'
            f'<text x="{label_width - 8}" y="{y + 14}" text-anchor="end">{_e(shown)}</text>'
        )
        x = float(label_width)
        for severity in SEVERITIES:
            count = counts.get(severity, 0)
            if not count:
                continue
            width = max(1.0, bar_width * count / largest)
            parts.append(
                f'<rect class="segment" data-severity="{severity}" data-count="{count}" '
                f'x="{x:.1f}" y="{y + 2}" width="{width:.1f}" height="{row - 8}" '
                f'fill="{_COLORS[severity]}"><title>{severity}: {count}</title></rect>'
            )
            x += width
        parts.append(f'<text class="total" x="{x + 6:.1f}" y="{y + 14}">{total}</text></g>')
    parts.append("</svg>")
    legend = "".join(f'<span><i style="background:{_COLORS[s]}"></i>{s}</span>' for s in SEVERITIES)
    return (
        f'<figure id="chart-{filter_id}"><figcaption>{_e(title)}</figcaption>'
        f'{"".join(parts)}<div class="legend">{legend}</div></figure>'
    )


def _options(values: list[str]) -> str:
    return "".join(f'<option value="{_e(v)}">{_e(v)}</option>' for v in values)


class HtmlReporter:
    """Collects the violations page by page, then writes the report in `finish`."""

    def __init__(self, out: IO[str], origin: Origin) -> None:
        self.out, self.origin = out, origin
        self.rows: list[str] = []
        self.unreadable_pages: list[tuple[str, str]] = []

    def route(self, at: Location, route: str, violations: list[Violation]) -> None:
        href = _href(str(at), violations[0].url if violations else None)
        for v in violations:
            rule, section = rule_of(v), section_of(v.route)
            actual = "" if v.actual is None else f"<code>{_e(v.actual)}</code>"
            self.rows.append(
                f'<tr class="{v.severity}" data-severity="{v.severity}" data-rule="{_e(rule)}" '
                f'data-section="{_e(section)}"><td class="sev">{v.severity}</td>'
                f"<td>{_e(rule)}</td>"
                f'<td><a href="{_e(href)}">{_e(route)}</a></td>'
                f"<td>{_e(v.message)}</td><td><code>{_e(v.expected)}</code></td>"
                f"<td>{actual}</td><td>{_e(v.source)}</td></tr>"
            )

    def unreadable(self, at: Location, message: str) -> None:
        self.unreadable_pages.append((str(at), message))

    def finish(self, tally: dict[str, Any]) -> None:
        summary = tally.get("summary", {})
        by_rule: dict[str, dict[str, int]] = summary.get("by_rule", {})
        by_section: dict[str, dict[str, int]] = summary.get("by_section", {})
        counts = tally["violations"]
        cards = [
            ("pages", tally["routes"] + tally["unreadable"]),
            ("unreadable", tally["unreadable"]),
            ("constraints checked", tally["constraints"]),
            *((f"{s}s" if s != "info" else "infos", counts[s]) for s in SEVERITIES),
        ]
        card_html = "".join(
            f'<div class="card {name.rstrip("s")}"><b>{value:,}</b>{_e(name)}</div>'
            for name, value in cards
        )
        severity_options = _options(list(SEVERITIES))
        filters = (
            '<div class="filters">'
            '<label>severity <select id="severity"><option value="">all</option>'
            f"{severity_options}</select></label>"
            '<label>rule <select id="rule"><option value="">all</option>'
            f"{_options(sorted(by_rule))}</select></label>"
            '<label>section <select id="section"><option value="">all</option>'
            f"{_options(sorted(by_section))}</select></label>"
            '<input type="search" id="text" placeholder="filter by text (route, message...)">'
            '<span id="shown" class="muted"></span></div>'
        )
        table = (
            '<table id="violations"><thead><tr><th>severity</th><th>rule</th><th>page</th>'
            "<th>message</th><th>expected</th><th>actual</th><th>source</th></tr></thead>"
            f"<tbody>{''.join(self.rows)}</tbody></table>"
            if self.rows
            else '<p class="empty">No violations.</p>'
        )
        unreadable = ""
        if self.unreadable_pages:
            items = "".join(
                f"<li><code>{_e(where)}</code>: {_e(message)}</li>"
                for where, message in self.unreadable_pages
            )
            unreadable = f'<h2>Pages that could not be read</h2><ul id="unreadable">{items}</ul>'
        digest = base64.b64encode(hashlib.sha256(_SCRIPT.encode()).digest()).decode()
        policy = (
            "default-src 'none'; style-src 'unsafe-inline'; img-src data:; "
            f"script-src 'sha256-{digest}'"
        )
        charts = _chart("Violations by rule", by_rule, "rule") + _chart(
            "Violations by site section", by_section, "section"
        )
        self.out.write(
            "<!doctype html>\n"
            '<html lang="en"><head><meta charset="utf-8">'
            f'<meta http-equiv="Content-Security-Policy" content="{policy}">'
            '<meta name="viewport" content="width=device-width, initial-scale=1">'
            '<link rel="icon" href="data:,">'
            f"<title>zoret audit: {_e(self.origin.name)}</title>"
            f"<style>{_STYLE}</style></head><body>"
            f"<h1>SEO audit of {_e(self.origin.name)}</h1>"
            f'<p class="muted">zoret {__version__}</p>'
            f'<div class="cards">{card_html}</div>'
            f'<div class="charts">{charts}</div>'
            f"<h2>Violations</h2>{filters}{table}{unreadable}"
            f"<script>{_SCRIPT}</script></body></html>\n"
        )
