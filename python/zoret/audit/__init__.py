"""Site audits: the pages a site serves, read back and checked against its contract.

>>> import zoret, pathlib, tempfile
>>> from zoret.audit import audit
>>> folder = pathlib.Path(tempfile.mkdtemp())
>>> _ = (folder / "index.html").write_text("<title>Home</title>")
>>> report = audit(folder, contract=zoret.check.Contract(zoret.build_seo_contract(
...     zoret.SEOContractConfig("example.com", defaults=zoret.SEOExpectation(
...         description=zoret.SEOExpectation(required=True))))))
>>> [(v.route, v.rule_id, v.field) for v in report.violations]
[('/', None, 'description.required'), ('/', 'ZORET203', 'description')]

`audit` reads a folder of built HTML files or pages over HTTP (a list of URLs, or a
sitemap's), turns each page into `PageFacts` (`read_page`), checks them against the
contract and the site audit rules (`zoret.audit_rules`; `rules=False` leaves them out)
in a process pool or on a Dask cluster, and returns an `AuditReport`. Needs the
``zoret[audit]`` extra (selectolax, httpx, protego, rich); Dask needs ``zoret[dask]``.
"""

from __future__ import annotations

from zoret.audit.encoding import decode_html, sniff_encoding
from zoret.audit.reader import read_page
from zoret.audit.records import (
    MAX_PAGE_BYTES,
    AuditPlan,
    HttpFacts,
    HttpOptions,
    PageResult,
    PageTask,
)
from zoret.audit.report import AuditReport, Timings, rule_of, section_of
from zoret.audit.runner import AuditError, audit, site_step
from zoret.audit.sitemaps import SitemapError
from zoret.audit.sources import Directory, SitemapUrls, Urls, route_of_file
from zoret.audit.steps import check_page, check_pages

__all__ = [
    "MAX_PAGE_BYTES",
    "AuditError",
    "AuditPlan",
    "AuditReport",
    "Directory",
    "HttpFacts",
    "HttpOptions",
    "PageResult",
    "PageTask",
    "SitemapError",
    "SitemapUrls",
    "Timings",
    "Urls",
    "audit",
    "check_page",
    "check_pages",
    "decode_html",
    "read_page",
    "route_of_file",
    "rule_of",
    "section_of",
    "site_step",
    "sniff_encoding",
]
