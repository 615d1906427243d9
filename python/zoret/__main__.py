from zoret.cli import main

raise SystemExit(main())
