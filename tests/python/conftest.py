"""Options of the Python suite."""

import pytest


def pytest_addoption(parser: pytest.Parser) -> None:
    parser.addoption(
        "--leak-loops",
        type=int,
        default=1000,
        metavar="N",
        help="calls per round of each leak check in test_refcounts.py (default 1000)",
    )


@pytest.fixture
def leak_loops(request: pytest.FixtureRequest) -> int:
    return int(request.config.getoption("--leak-loops"))
