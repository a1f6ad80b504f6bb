# SPDX-License-Identifier: MIT
# Just enough of Homebrew's formula language to load the release's formula on a machine
# without Homebrew: the class methods record what the formula declares, and the install and
# test blocks run with plain Ruby (system, paths, assert_equal).
#   ruby formula_stub.rb FORMULA                  prints the formula's url and sha256
#   ruby formula_stub.rb FORMULA build SOURCE PREFIX
#     runs its install in the unpacked SOURCE, into PREFIX, then its test against PREFIX/bin
require "pathname"
require "tmpdir"

class Formula
  class << self
    attr_reader :fields, :test_block

    def field(name, value)
      (@fields ||= {})[name] = value
    end

    %i[desc homepage url sha256 license].each do |name|
      define_method(name) { |value| field(name, value) }
    end

    def depends_on(*) end

    # Kernel#test, a file test, would answer `test do` instead of the formula's method.
    def test(&block)
      @test_block = block
    end
  end

  attr_reader :prefix, :testpath

  def initialize(prefix)
    @prefix = Pathname(prefix)
  end

  def bin
    prefix / "bin"
  end

  # Homebrew's own list is longer (its compiler wrapper, frameworks, verbose makefiles);
  # these are the two that decide where and how the project builds.
  def std_cmake_args
    ["-DCMAKE_INSTALL_PREFIX=#{prefix}", "-DCMAKE_BUILD_TYPE=Release"]
  end

  def system(*command)
    Kernel.system(*command.map(&:to_s)) or raise "failed: #{command.join(' ')}"
  end

  def assert_equal(expected, actual)
    expected == actual or raise "expected #{expected.inspect}, got #{actual.inspect}"
  end

  def run_test
    Dir.mktmpdir do |dir|
      @testpath = Pathname(dir)
      Dir.chdir(dir) { instance_exec(&self.class.test_block) }
    end
  end
end

formula, action, source, prefix = ARGV
load formula
klass = Formula.subclasses.first
if action == "build"
  instance = klass.new(File.expand_path(prefix))
  Dir.chdir(source) { instance.install }
  instance.run_test
  puts "#{formula}: install built #{source} into #{prefix}; its test passed"
else
  puts "url #{klass.fields[:url]}", "sha256 #{klass.fields[:sha256]}"
end
