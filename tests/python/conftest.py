"""Options of the Python suite."""

import pytest
from hypothesis import settings


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


# Sanitizer builds run the same examples several times slower.
settings.register_profile("zoret", deadline=None)
settings.load_profile("zoret")
