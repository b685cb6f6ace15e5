# Two entry points; both install what is missing first.
.PHONY: test run build clean
test:
	./scripts/test
run:
	./scripts/run
build:
	./scripts/build
clean:
	rm -rf build
