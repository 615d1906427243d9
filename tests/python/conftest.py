"""Options and shared fixtures of the Python suite."""

import shutil

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


def pytest_configure(config: pytest.Config) -> None:
    config.addinivalue_line(
        "markers",
        "outside: drives a program outside the extension (a wheel build, Chromium, mypy); "
        "the sanitizer run leaves these out, as they test the tool, not our memory use",
    )
    config.addinivalue_line(
        "markers",
        "scale: a run at full scale for its time and memory bounds; the sanitizer run, "
        "several times slower, leaves it out (smaller cases cover the same code there)",
    )


def pytest_collection_modifyitems(items: list[pytest.Item]) -> None:
    for item in items:
        if "browser" in getattr(item, "fixturenames", ()):
            item.add_marker(pytest.mark.outside)


@pytest.fixture
def leak_loops(request: pytest.FixtureRequest) -> int:
    return int(request.config.getoption("--leak-loops"))


@pytest.fixture
def cli(capsys):
    """`zoret ARGV...` called in process: its exit status, standard output and error."""
    from zoret.cli import main

    return lambda *argv: (main(list(argv)), *capsys.readouterr())


# Sanitizer builds run the same examples several times slower.
settings.register_profile("zoret", deadline=None)
settings.load_profile("zoret")


@pytest.fixture(scope="module")
def browser():
    """Headless Chromium driven by selenium (Debian's chromium and chromium-driver)."""
    webdriver = pytest.importorskip("selenium.webdriver")
    from selenium.common.exceptions import WebDriverException

    chromium, driver = shutil.which("chromium"), shutil.which("chromedriver")
    if not chromium or not driver:
        pytest.skip("Chromium cannot start: the chromium and chromium-driver packages are not installed")  # fmt: skip
    options = webdriver.ChromeOptions()
    options.binary_location = chromium
    for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--disable-gpu"):
        options.add_argument(argument)
    try:
        session = webdriver.Chrome(service=webdriver.ChromeService(executable_path=driver), options=options)  # fmt: skip
    except WebDriverException as exc:
        pytest.skip(f"Chromium cannot start: {exc.msg}")
    yield session
    session.quit()
